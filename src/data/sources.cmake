target_sources(gestione_core PRIVATE
    data/ChangeWatch.cpp
    data/ArchiveImport.cpp
    data/Backup.cpp
    data/Collation.cpp
    data/Database.cpp
    data/FileKey.cpp
    data/Rekey.cpp
    data/FolderNames.cpp
    data/ItalianText.cpp
    data/Schema.cpp
    data/Statement.cpp
    data/TextMatch.cpp
    data/jet/JetFile.cpp
    data/tool/DemoData.cpp
    data/tool/MakeDb.cpp
    data/tool/TerminalPassword.cpp
)
