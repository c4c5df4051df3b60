target_sources(gestione_core PRIVATE
    masterdata/ArticlePanel.cpp
    masterdata/ArticleStore.cpp
    masterdata/CustomerPanel.cpp
    masterdata/CustomerStore.cpp
    masterdata/InputRules.cpp
    masterdata/Lookups.cpp
)
