target_sources(gestione_core PRIVATE
    stats/Filter.cpp
    stats/Queries.cpp
    stats/Ranking.cpp
    stats/ToVisit.cpp
    stats/Trend.cpp
)
