# Synchronisation with the agency's PostgreSQL server: the core, over the server's client library.
target_sources(gestione_core PRIVATE
    sync/CatalogueLoad.cpp
    sync/ConflictCopies.cpp
    sync/CustomerRequests.cpp
    sync/CustomerSync.cpp
    sync/Interrupt.cpp
    sync/ListLoad.cpp
    sync/ListPull.cpp
    sync/OrderLines.cpp
    sync/OwnCustomers.cpp
    sync/PendingRead.cpp
    sync/Pg.cpp
    sync/PgValues.cpp
    sync/Pull.cpp
    sync/Push.cpp
    sync/ServerFailure.cpp
    sync/ServerSchema.cpp
    sync/SyncSettings.cpp
    sync/SyncState.cpp
)
target_link_libraries(gestione_core PUBLIC PkgConfig::LIBPQ)
target_sources(gestione_gui PRIVATE
    sync/ConflictCopiesWindow.cpp
    sync/SyncCommands.cpp
    sync/SyncSettingsDialog.cpp
)
