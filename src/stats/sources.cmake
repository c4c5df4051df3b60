target_sources(gestione_core PRIVATE
    stats/DistinctOrders.cpp
    stats/Filter.cpp
    stats/LineStore.cpp
    stats/Queries.cpp
    stats/Ranking.cpp
    stats/Registered.cpp
    stats/ToVisit.cpp
    stats/Trend.cpp
)
target_sources(gestione_core PRIVATE
    stats/StatsFiles.cpp
    stats/StatsTable.cpp
)
target_sources(gestione_gui PRIVATE
    stats/CustomerSummary.cpp
    stats/StatsChart.cpp
    stats/StatsModel.cpp
    stats/StatsWindow.cpp
    stats/StatsWindowExports.cpp
    stats/StatsWindowRankings.cpp
    stats/StatsWindowShared.cpp
    stats/StatsWindowToVisit.cpp
    stats/StatsWindowTrend.cpp
)
