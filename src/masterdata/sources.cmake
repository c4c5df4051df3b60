target_sources(gestione_core PRIVATE
    masterdata/ArticlePanel.cpp
    masterdata/CustomerPanel.cpp
    masterdata/InputRules.cpp
    masterdata/Lookups.cpp
)
