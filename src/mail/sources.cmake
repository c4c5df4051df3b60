target_sources(gestione_core PRIVATE
    mail/CustomerContacts.cpp
    mail/DesktopMail.cpp
    mail/MailHeaders.cpp
    mail/MailMessage.cpp
    mail/MailSettings.cpp
    mail/OrderMail.cpp
    mail/Principals.cpp
    mail/SendRecord.cpp
    mail/SmtpAuthority.cpp
    mail/SmtpFailure.cpp
    mail/SmtpSender.cpp
    mail/SmtpWatch.cpp
)
target_sources(gestione_gui PRIVATE
    mail/ContactCommands.cpp
    mail/CustomerContactsDialog.cpp
    mail/MailSettingsDialog.cpp
    mail/OrderMailCommands.cpp
    mail/PendingOrdersDialog.cpp
    mail/PrepareFiles.cpp
    mail/PrincipalsDialog.cpp
    mail/SendOrderDialog.cpp
    mail/SendProgress.cpp
)
