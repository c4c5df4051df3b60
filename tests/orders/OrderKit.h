#pragma once

// What the order tests share: the customers and articles they use, the way to a year, entering a
// header and a line as a user, the ORDINE rows and the boxes in a form that compares whole.

#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Gestione.h"
#include "orders/OrderPanel.h"
#include "orders/YearPanel.h"
#include "ui/Titles.h"
#include "ui/widgets/DateBox.h"
#include "ui/widgets/ReportList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace kit {

using Kind = ScriptedDialogs::Kind;
using boxes::message;
using boxes::question;
using boxes::seq;

// The boxes shown since the last call, in the same form.
inline QString shown(App& app) {
    const QString d = app.dialogs.describe();
    app.dialogs.boxes.clear();
    return d;
}

inline const QString kInserire = QStringLiteral("Vuoi Inserire questi dati  ?");
inline const QString kInserito = QStringLiteral("Articolo Inserito ..............");
inline const QString kAggiornare = QStringLiteral("Vuoi Aggiornare  questi dati  ?");
inline const QString kAggiornato = QStringLiteral("Aggiornamento Articolo effettuato");
inline const QString kSicuro = QStringLiteral("Sei sicuro di voler eliminare questo Articolo ? ");
inline const QString kEliminato = QStringLiteral("Eliminazione  effettuata");
inline const QString kObbligatori =
    QStringLiteral(" Il campo CLIENTE-DATA ORDINE-DESTINAZIONE-CITTA'-PROVINCIA-ARTICOLO-"
                   "QUANTITA' VENDITA- PREZZO  deve essere compilato  ");

// Two customers share a name; two articles share a description.
inline void seed(Database& db) {
    exec(db, "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES "
             "('10001', 'ALIMENTARI D''ANGELO SNC', 'BERGAMO', 'BG'), "
             "('10008', 'BAR SPORT', 'MILANO', 'MI'), "
             "('20000', 'BAR SPORT', 'LODI', 'LO');"
             "INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO) VALUES "
             "('F-GP01', 'GRANA PADANO DOP', 'FORMA INTERA', 36), "
             "('O-EVO5', 'OLIO EXTRAVERGINE D''OLIVA', 'LATTA 5 LT', 5), "
             "('O-EVO1', 'OLIO EXTRAVERGINE D''OLIVA', 'CARTONE 12 X 1 LT', 12.5);");
}

// Every ORDINE row but its ID, each value as SQL writes it (NULL, 12.5, 'text'), by ID.
inline QStringList ordine(Database& db, const char* where = "1") {
    const QByteArray sql =
        "SELECT quote(ANNO), quote(NR), quote(ID_CL), quote(DATAO), quote(DATAC), quote(DEST), "
        "quote(CITTA), quote(PR), quote(ARTICOLO), quote(CODICE), quote(FORMATO), quote(PESO), "
        "quote(QVENDITA), quote(QOMAGGIO), quote(PREZZO), quote(SCONTO), quote(NOTE) FROM "
        "ORDINE WHERE " +
        QByteArray(where) + " ORDER BY ID;";
    QStringList out;
    for (const QStringList& r : rows(db, sql.constData()))
        out << r.join(QLatin1Char('|'));
    return out;
}

// An order line stored directly, for the cases that start from stored orders.
inline void store(Database& db, const QString& year, const QString& nr, const QString& customer,
                  const QString& article, const QString& notes = QString()) {
    const QString noteColumn = notes.isEmpty() ? QString() : QStringLiteral(", NOTE");
    const QString noteValue = notes.isEmpty() ? QString() : QStringLiteral(", '%1'").arg(notes);
    const QString sql =
        QStringLiteral("INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DEST, CITTA, PR, ARTICOLO, "
                       "CODICE, FORMATO, PESO, QVENDITA, PREZZO%5) VALUES ('%1', '%2', '%3', "
                       "'2026-03-04', 'DEPOSITO', 'COMO', 'CO', '%4', 'C-%4', 'CARTONE', 6, 2, "
                       "12.5%6);")
            .arg(year, nr, customer, article, noteColumn, noteValue);
    exec(db, sql.toUtf8().constData());
}

inline OrderPanel* panel(App& app) {
    return app.window->Frame3;
}

// The order command (its menu entry) and the year picked in the year panel.
inline bool openYear(App& app, const char* command, const QString& year) {
    ui::menu(app.window.get(), command);
    return ui::choose(app.window->Frame7->Cbo7, year);
}

// Picks the n-th entry (from 0) with that text, as a user choosing it from the list.
inline bool chooseNth(QComboBox* combo, const QString& text, int n) {
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i) != text || n-- > 0)
            continue;
        combo->setCurrentIndex(i);
        Q_EMIT combo->activated(i);
        return true;
    }
    return false;
}

inline void header(OrderPanel* p, const QString& dest, const QString& town, const QString& province,
                   const QString& delivery = QString()) {
    ui::retype(p->Cbo3, dest);
    ui::retype(p->Cbo9, town);
    ui::retype(p->Cbo4, province);
    if (!delivery.isEmpty())
        ui::retype(p->D2, delivery);
}

// Quantity sold, free quantity, price, discount, notes: typed; the price field is left.
inline void quantities(OrderPanel* p, const QString& sold, const QString& free,
                       const QString& price, const QString& discount = QString(),
                       const QString& notes = QString()) {
    ui::retype(p->T11, sold);
    ui::retype(p->T12, free);
    ui::retype(p->T13, price);
    ui::leave(p->T13, p->T14);
    ui::retype(p->T14, discount);
    p->T15->clear();
    ui::type(p->T15, notes);
}

inline QStringList articleFields(OrderPanel* p) {
    return {p->Cbo6->currentText(), p->T8->text(),  p->T9->text(),
            p->T10->text(),         p->T11->text(), p->T12->text(),
            p->T13->text(),         p->T14->text(), p->T15->toPlainText()};
}

inline QStringList captions(OrderPanel* p) {
    return {p->title(), p->Cmd4->text(), p->Cmd5->text()};
}

// A row of ListView5, cell by cell as shown.
inline QStringList listRow(OrderPanel* p, int row) {
    QStringList out;
    const ReportModel* m = p->ListView5->report();
    for (int c = 0; c < m->columnCount(); ++c)
        out << m->cell(row, c);
    return out;
}

inline int listRows(OrderPanel* p) {
    return p->ListView5->report()->rows();
}

} // namespace kit
