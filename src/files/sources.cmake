target_sources(gestione_core PRIVATE
    files/ChildProcess.cpp
    files/FileInPlace.cpp
    files/FolderNames.cpp
)
