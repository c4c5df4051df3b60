target_sources(gestione_core PRIVATE
    data/ChangeWatch.cpp
    data/Collation.cpp
    data/Database.cpp
    data/FolderNames.cpp
    data/ItalianText.cpp
    data/Schema.cpp
    data/Statement.cpp
    data/TextMatch.cpp
    data/tool/DemoData.cpp
    data/tool/MakeDb.cpp
)
