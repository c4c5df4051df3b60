#pragma once

#include <QString>

// The texts of the master-data panels' boxes (customers, articles, the agent), blanks and full
// stops included, as the users know them.
namespace mdmsg {

inline QString customerRequired() {
    return QStringLiteral(" Il campo CODICE - CITTA'- PROVINCIA- DENOMINAZIONE devono essere  "
                          "compilati ");
}
inline QString articleRequired() {
    return QStringLiteral(" Il campo CODICE - DESCRIZIONE ARTICOLO devono essere  compilati ");
}
inline QString agentRequired() {
    return QStringLiteral(" Il campo UTENTE deve essere compilato  ");
}
inline QString askInsert() {
    return QStringLiteral("Vuoi Inserire questi dati  ?");
}
inline QString askModify() {
    return QStringLiteral("Vuoi Modificare questi dati  ?");
}
inline QString askUpdate() {
    return QStringLiteral("Vuoi Aggiornare questi dati  ?");
}
inline QString askDeleteCustomer() {
    return QStringLiteral("Sei sicuro di voler eliminare la prestazione  selezionata ? ");
}
inline QString askDeleteArticle() {
    return QStringLiteral("Sei sicuro di voler eliminare l'Articolo   selezionato ? ");
}
inline QString inserted() {
    return QStringLiteral("Inserimento effettuato");
}
inline QString updated() {
    return QStringLiteral("Aggiornamento effettuato");
}
inline QString deleted() {
    return QStringLiteral("Eliminazione  effettuata");
}
inline QString accessCodePrompt() {
    return QStringLiteral("Inserisci il Codice di Controllo");
}
inline QString wrongAccessCode() {
    return QStringLiteral(" Codice di Controllo errato");
}
// The one title of the program spelt "Gestioni", with 18 full stops.
inline QString wrongAccessCodeTitle() {
    return QStringLiteral("Gestioni Ordini") + QString(18, QLatin1Char('.'));
}

} // namespace mdmsg
