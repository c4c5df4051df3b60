target_sources(gestione_core PRIVATE
    orders/Numbering.cpp
    orders/OrderFlow.cpp
    orders/OrderForm.cpp
    orders/OrderHistory.cpp
    orders/OrderStore.cpp
    orders/OrderTotals.cpp
    orders/RepeatOrder.cpp
)
target_sources(gestione_gui PRIVATE
    orders/LastPrice.cpp
    orders/OrderActions.cpp
    orders/OrderFocus.cpp
    orders/OrderLists.cpp
    orders/OrderPanel.cpp
    orders/OrderPrintCommands.cpp
    orders/OrderTotalsLine.cpp
    orders/PrintOrder.cpp
    orders/YearPanel.cpp
)
