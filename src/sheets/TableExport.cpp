#include "TableExport.h"

namespace tableexport {

void Esporta(AppContext&) {
}
void StampaArticolo(AppContext&) {
}
void StampaClienti(AppContext&) {
}

} // namespace tableexport
