# The helper programs beside the program. The database tool's code is a small library of its
# own: the tests' fixture and the benchmarks make their files with it.
add_library(gestione_makedb STATIC
    tools/makedb/DemoData.cpp
    tools/makedb/MakeDb.cpp
    tools/makedb/TerminalPassword.cpp
    tools/makedb/ToolHelp.cpp
)
target_link_libraries(gestione_makedb PUBLIC gestione_core)

add_executable(gestione-makedb tools/makedb/makedb_main.cpp)
target_link_libraries(gestione-makedb PRIVATE gestione_makedb)

# The old archive's reader, in a process of its own beside the program; libmdb is linked here
# alone.
add_executable(gestione-jetread tools/jetread/jetread_main.cpp tools/jetread/MdbReader.cpp)
target_link_libraries(gestione-jetread PRIVATE gestione_core PkgConfig::LIBMDB)

# The .xls reader, in a process of its own beside the program; libfreexl is linked here alone.
add_executable(gestione-leggixls tools/leggixls/leggixls_main.cpp)
target_link_libraries(gestione-leggixls PRIVATE gestione_core PkgConfig::FREEXL)

# The office's tool.
add_executable(gestione-sede tools/sede/sede_main.cpp)
target_link_libraries(gestione-sede PRIVATE gestione_makedb)
