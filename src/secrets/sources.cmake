target_sources(gestione_core PRIVATE
    secrets/SystemKeyring.cpp
    secrets/Vault.cpp
)
