target_sources(gestione_core PRIVATE
    orders/Numbering.cpp
    orders/OrderFlow.cpp
    orders/OrderForm.cpp
    orders/OrderStore.cpp
)
target_sources(gestione_gui PRIVATE
    orders/OrderActions.cpp
    orders/OrderLists.cpp
    orders/OrderPanel.cpp
    orders/OrderPrintCommands.cpp
    orders/PrintOrder.cpp
    orders/YearPanel.cpp
)
