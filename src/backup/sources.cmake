target_sources(gestione_core PRIVATE
    backup/BackupCatalogue.cpp
    backup/BackupCheck.cpp
    backup/BackupCopy.cpp
    backup/BackupRestore.cpp
    backup/BackupShared.cpp
    backup/CopyKeys.cpp
)
target_sources(gestione_gui PRIVATE
    backup/BackupCommands.cpp
    backup/PasswordsMoved.cpp
    backup/StartupRecovery.cpp
)
