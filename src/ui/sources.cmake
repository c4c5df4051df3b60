target_sources(gestione_gui PRIVATE
    ui/AccountPassword.cpp
    ui/Dialogs.cpp
    ui/FileOpener.cpp
    ui/OffThread.cpp
    ui/Panel.cpp
    ui/QtDialogs.cpp
    ui/ShowFile.cpp
    ui/Tell.cpp
    ui/widgets/ClickLabel.cpp
    ui/widgets/DateBox.cpp
    ui/widgets/Elements.cpp
    ui/widgets/Keys.cpp
    ui/widgets/PopupClicks.cpp
    ui/widgets/ReportList.cpp
    ui/widgets/Twips.cpp
    ui/widgets/Zoom.cpp
)
target_sources(gestione_gui PRIVATE
    ui/KeyPrompt.cpp
)
