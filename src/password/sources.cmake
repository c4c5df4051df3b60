target_sources(gestione_core PRIVATE
    password/IdleLockSetting.cpp
)
target_sources(gestione_gui PRIVATE
    password/IdleLock.cpp
    password/PasswordCommands.cpp
)
