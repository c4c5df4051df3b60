target_sources(gestione_core PRIVATE
    search/SearchStore.cpp
)
target_sources(gestione_gui PRIVATE
    search/ResultLists.cpp
    search/SearchWindow.cpp
)
