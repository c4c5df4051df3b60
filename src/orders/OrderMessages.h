#pragma once

#include "text/ItalianText.h"

#include <QString>

// The texts of the order panel's boxes. The first seven are the program's own, blanks and full
// stops included; the others tell why nothing was written.
namespace ordermsg {

inline QString requiredFields() {
    return QStringLiteral(" Il campo CLIENTE-DATA ORDINE-DESTINAZIONE-CITTA'-PROVINCIA-ARTICOLO-"
                          "QUANTITA' VENDITA- PREZZO  deve essere compilato  ");
}
inline QString askInsert() {
    return QStringLiteral("Vuoi Inserire questi dati  ?");
}
inline QString lineStored() {
    return QStringLiteral("Articolo Inserito ..............");
}
inline QString askUpdate() {
    return QStringLiteral("Vuoi Aggiornare  questi dati  ?");
}
inline QString updateDone() {
    return QStringLiteral("Aggiornamento Articolo effettuato");
}
inline QString askDelete() {
    return QStringLiteral("Sei sicuro di voler eliminare questo Articolo ? ");
}
inline QString deletionDone() {
    return QStringLiteral("Eliminazione  effettuata");
}

inline QString unknownCustomer(const QString& name) {
    return QStringLiteral("Il cliente \"%1\" non è nell'anagrafica dei clienti: sceglierlo "
                          "dall'elenco \"Cliente\" o inserirlo con Gestione Cliente - Nuovo.\n"
                          "Nessun dato è stato registrato.")
        .arg(itext::shortened(name));
}
inline QString customerWithoutCode(const QString& name) {
    return QStringLiteral("Il cliente \"%1\" non ha un codice cliente: assegnarlo con Gestione "
                          "Cliente - Aggiorna prima di registrare l'ordine.\n"
                          "Nessun dato è stato registrato.")
        .arg(itext::shortened(name));
}
inline QString unknownArticle(const QString& description) {
    return QStringLiteral("L'articolo \"%1\" non è nel catalogo degli articoli: sceglierlo "
                          "dall'elenco \"Scelta Articolo\" o inserirlo con Gestione Articoli - "
                          "Nuovo.\nNessun dato è stato registrato.")
        .arg(itext::shortened(description));
}
inline QString noLineChosen(bool deleting) {
    return deleting ? QStringLiteral("Nessun articolo è stato eliminato: fare prima clic sulla "
                                     "riga dell'articolo nell'elenco.")
                    : QStringLiteral("Nessun articolo è stato modificato: fare prima clic sulla "
                                     "riga dell'articolo nell'elenco.");
}
inline QString lineNoLongerThere(bool deleting) {
    return deleting ? QStringLiteral("Nessun articolo è stato eliminato: la riga scelta non c'è "
                                     "più nell'ordine.")
                    : QStringLiteral("Nessun articolo è stato modificato: la riga scelta non c'è "
                                     "più nell'ordine.");
}
inline QString orderWithoutLines(const QString& number, const QString& year) {
    return QStringLiteral("Nessuna riga è stata eliminata: l'ordine %1 dell'anno %2 non ha più "
                          "righe.")
        .arg(number, year);
}
inline QString numberOfAnotherCustomer(const QString& number, const QString& year,
                                       const QString& code, const QString& name) {
    const QString who = code.isEmpty() ? QStringLiteral("un ordine senza codice cliente")
                        : name.isEmpty()
                            ? QStringLiteral("un ordine del cliente con codice %1").arg(code)
                            : QStringLiteral("un ordine del cliente %1 (codice %2)")
                                  .arg(itext::shortened(name), itext::shortened(code));
    return QStringLiteral("Il numero d'ordine %1 dell'anno %2 è già usato da %3: la riga "
                          "finirebbe in quell'ordine. Scegliere un altro numero.\n"
                          "Nessun dato è stato registrato.")
        .arg(itext::shortened(number), year, who);
}
inline QString yearNotListed(const QString& year) {
    return QStringLiteral("L'anno \"%1\" non è nell'elenco degli anni: scriverne o sceglierne "
                          "uno dell'elenco.")
        .arg(itext::shortened(year));
}
// Appended to a conversion message.
inline QString nothingStored() {
    return QStringLiteral("\nNessun dato è stato registrato.");
}

} // namespace ordermsg
