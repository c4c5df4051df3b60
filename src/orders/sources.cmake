target_sources(gestione_core PRIVATE
    orders/OrderPanel.cpp
    orders/YearPanel.cpp
)
