target_sources(gestione_gui PRIVATE
    app/ArchiveStartup.cpp
    app/BackupCommands.cpp
    app/DataLocation.cpp
    app/Display.cpp
    app/FirstSteps.cpp
    app/StartupRecovery.cpp
    app/Gestione.cpp
    app/KeyboardLocks.cpp
    app/KeyPrompt.cpp
    app/PasswordCommands.cpp
    app/StatusBar.cpp
    app/TitleClock.cpp
    app/Translation.cpp
    app/sync/SyncCommands.cpp
    app/sync/SyncSettingsDialog.cpp
)
