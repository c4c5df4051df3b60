target_sources(gestione_gui PRIVATE
    app/DataLocation.cpp
    app/Display.cpp
    app/FirstSteps.cpp
    app/Gestione.cpp
    app/ItalianPickers.cpp
    app/KeyboardLocks.cpp
    app/Startup.cpp
    app/StatusBar.cpp
    app/TitleClock.cpp
    app/Translation.cpp
    app/UserGuide.cpp
    app/ViewSettings.cpp
    app/WindowZoom.cpp
)

# The user's guide, shown from the menu "Aiuto".
qt_add_resources(gestione_gui "user_guide"
    PREFIX "/docs"
    BASE "${PROJECT_SOURCE_DIR}/docs"
    FILES "${PROJECT_SOURCE_DIR}/docs/GUIDA.md")
