target_sources(gestione_core PRIVATE
    oldarchive/ArchiveImport.cpp
    oldarchive/jet/Frames.cpp
    oldarchive/jet/JetFile.cpp
    oldarchive/jet/ReaderProcess.cpp
)
target_sources(gestione_gui PRIVATE
    oldarchive/ArchiveStartup.cpp
)
