target_sources(gestione_core PRIVATE
    data/AddedTables.cpp
    data/ChangeWatch.cpp
    data/CipherPages.cpp
    data/Database.cpp
    data/DatabaseSwap.cpp
    data/FileKey.cpp
    data/Rekey.cpp
    data/Schema.cpp
    data/Statement.cpp
)
