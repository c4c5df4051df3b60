target_sources(gestione_core PRIVATE
    text/Collation.cpp
    text/ItalianText.cpp
    text/TextMatch.cpp
)
