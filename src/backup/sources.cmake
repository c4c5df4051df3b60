target_sources(gestione_core PRIVATE
    backup/Backup.cpp
    backup/CopyKeys.cpp
)
target_sources(gestione_gui PRIVATE
    backup/BackupCommands.cpp
    backup/PasswordsMoved.cpp
    backup/StartupRecovery.cpp
)
