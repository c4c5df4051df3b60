target_sources(gestione_core PRIVATE
    orders/OrderActions.cpp
    orders/OrderFlow.cpp
    orders/OrderForm.cpp
    orders/OrderLists.cpp
    orders/OrderPanel.cpp
    orders/OrderStore.cpp
    orders/YearPanel.cpp
)
