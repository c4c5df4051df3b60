target_sources(gestione_core PRIVATE
    data/ChangeWatch.cpp
    data/ArchiveImport.cpp
    data/Backup.cpp
    data/Collation.cpp
    data/Database.cpp
    data/FileInPlace.cpp
    data/FolderNames.cpp
    data/ItalianText.cpp
    data/Schema.cpp
    data/Statement.cpp
    data/TextMatch.cpp
    data/jet/Frames.cpp
    data/jet/JetFile.cpp
    data/jet/ReaderProcess.cpp
    data/tool/DemoData.cpp
    data/tool/MakeDb.cpp
)
