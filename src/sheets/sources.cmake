target_sources(gestione_core PRIVATE
    sheets/OrderSheet.cpp
    sheets/TableExport.cpp
)
