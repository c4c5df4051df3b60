target_sources(gestione_gui PRIVATE
    app/mail/ContactCommands.cpp
    app/mail/CustomerCardDialog.cpp
    app/mail/OrderMailCommands.cpp
    app/mail/PendingOrdersDialog.cpp
    app/mail/PrepareFiles.cpp
    app/mail/PrincipalsDialog.cpp
    app/mail/SendOrderDialog.cpp
    app/mail/SendProgress.cpp
    app/mail/MailSettingsDialog.cpp
)
