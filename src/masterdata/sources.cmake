target_sources(gestione_core PRIVATE
    masterdata/AgentStore.cpp
    masterdata/ArticleStore.cpp
    masterdata/CustomerStore.cpp
    masterdata/OfficeCustomer.cpp
)
target_sources(gestione_gui PRIVATE
    masterdata/AgentDialog.cpp
    masterdata/AgentPanel.cpp
    masterdata/ArticlePanel.cpp
    masterdata/CustomerPanel.cpp
    masterdata/ExportCommands.cpp
    masterdata/InputRules.cpp
    masterdata/Lookups.cpp
)
