target_sources(gestione_core PRIVATE
    mail/MailHeaders.cpp
    mail/MailMessage.cpp
    mail/SmtpFailure.cpp
    mail/SmtpSender.cpp
)
