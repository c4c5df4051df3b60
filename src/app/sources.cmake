target_sources(gestione_core PRIVATE
    app/AgentPanel.cpp
    app/AgentStore.cpp
    app/Dialogs.cpp
    app/FileOpener.cpp
    app/Gestione.cpp
    app/KeyboardLocks.cpp
    app/Panel.cpp
    app/QtDialogs.cpp
    app/StatusBar.cpp
    app/TitleClock.cpp
    app/Translation.cpp
    app/widgets/ClickLabel.cpp
    app/widgets/DateBox.cpp
    app/widgets/Elements.cpp
    app/widgets/ReportList.cpp
    app/widgets/Twips.cpp
)
