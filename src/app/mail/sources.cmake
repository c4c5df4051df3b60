target_sources(gestione_gui PRIVATE
    app/mail/OrderMailCommands.cpp
    app/mail/SendOrderDialog.cpp
)
