#include "OrderSheet.h"

void StampaOrdineV(AppContext&, const QString&, const QString&, const QString&) {
}
