target_sources(gestione_gui PRIVATE
    app/mail/OrderMailCommands.cpp
    app/mail/SendOrderDialog.cpp
    app/mail/SendProgress.cpp
    app/mail/MailSettingsDialog.cpp
)
