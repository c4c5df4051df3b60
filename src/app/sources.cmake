target_sources(gestione_gui PRIVATE
    app/ArchiveStartup.cpp
    app/BackupCommands.cpp
    app/DataLocation.cpp
    app/Display.cpp
    app/FirstSteps.cpp
    app/IdleLock.cpp
    app/ItalianPickers.cpp
    app/StartupRecovery.cpp
    app/Gestione.cpp
    app/KeyboardLocks.cpp
    app/KeyPrompt.cpp
    app/PasswordCommands.cpp
    app/PasswordsMoved.cpp
    app/StatusBar.cpp
    app/TitleClock.cpp
    app/UserGuide.cpp
    app/Translation.cpp
    app/ViewSettings.cpp
    app/WindowZoom.cpp
    app/sync/ConflictCopiesWindow.cpp
    app/sync/SyncCommands.cpp
    app/sync/SyncSettingsDialog.cpp
)

# The user's guide, shown from the menu "Aiuto".
qt_add_resources(gestione_gui "user_guide"
    PREFIX "/docs"
    BASE "${PROJECT_SOURCE_DIR}/docs"
    FILES "${PROJECT_SOURCE_DIR}/docs/GUIDA.md")
