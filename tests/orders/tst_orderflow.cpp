// The order panel's state machine as a table: every allowed transition, and the presses and
// clicks that must do nothing.

#include "orders/OrderFlow.h"

#include <QTest>

using namespace orderflow;

namespace {

// A state written as "mode|Cmd4|Cmd5|Frame4|Frame5|shows|flags": shows is N (nothing),
// S (listing) or L (lines); flags are six 0/1 for Frame3 shown, Frame5 shown, C1 shown,
// C1 ticked, C2 shown, C2 ticked.
State parse(const QString& text) {
    const QStringList f = text.split(QLatin1Char('|'));
    Q_ASSERT(f.size() == 7 && f[6].size() == 6);
    State s;
    s.mode = f[0];
    s.action = f[1];
    s.close = f[2];
    s.lineCaption = f[3];
    s.listCaption = f[4];
    s.shows = f[5] == QLatin1String("S")   ? Shows::Listing
              : f[5] == QLatin1String("L") ? Shows::Lines
                                           : Shows::Nothing;
    bool* flags[] = {&s.panelShown,   &s.listShown,   &s.deleteShown,
                     &s.deleteTicked, &s.manualShown, &s.manualTicked};
    for (int i = 0; i < 6; ++i)
        *flags[i] = f[6][i] == QLatin1Char('1');
    return s;
}

QString describe(const State& s) {
    const char* shows = s.shows == Shows::Listing ? "S" : s.shows == Shows::Lines ? "L" : "N";
    QString flags;
    for (bool b :
         {s.panelShown, s.listShown, s.deleteShown, s.deleteTicked, s.manualShown, s.manualTicked})
        flags += b ? QLatin1Char('1') : QLatin1Char('0');
    return QStringList{
        s.mode, s.action, s.close, s.lineCaption, s.listCaption, QLatin1String(shows), flags}
        .join(QLatin1Char('|'));
}

// "year1" to "year4" (and any other digit), "click", "press:Done|Declined|Refused",
// "tick1"/"tick0" (C1), "manual1"/"manual0" (C2), "close" (Cmd5).
// `did` names the action or click chosen by a press or a click.
State run(const State& s, const QString& event, QString& did) {
    if (event.startsWith(QLatin1String("year")))
        return afterYear(s, event.mid(4).toInt());
    if (event == QLatin1String("click")) {
        const Click c = clickAction(s);
        did = QLatin1String(toString(c));
        return afterClick(s, c);
    }
    if (event.startsWith(QLatin1String("press:"))) {
        const QString o = event.mid(6);
        const Outcome outcome = o == QLatin1String("Done")       ? Outcome::Done
                                : o == QLatin1String("Declined") ? Outcome::Declined
                                                                 : Outcome::Refused;
        const Action a = pressAction(s);
        did = QLatin1String(toString(a));
        return afterPress(s, a, outcome);
    }
    if (event.startsWith(QLatin1String("tick")))
        return afterDeleteTick(s, event.endsWith(QLatin1Char('1')));
    if (event.startsWith(QLatin1String("manual")))
        return afterManualTick(s, event.endsWith(QLatin1Char('1')));
    if (event == QLatin1String("close"))
        return afterClose(s);
    qFatal("unknown event");
}

// States met on the way (the captions of a panel used before are what it kept).
const char* const kFresh = "Frame3|||Aggiungi Articolo|Elenco|N|001010";
const char* const kNew =
    "Nuovo Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Elenco|L|101010";
const char* const kNewListed =
    "Nuovo Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Modifica Articolo|L|111010";
const char* const kNewModify =
    "Nuovo Ordine|Modifica Articolo|Chiudi Ordine|Aggiungi Articolo|Modifica Articolo|L|111010";
const char* const kNewDelete =
    "Nuovo Ordine|Elimina Articolo|Chiudi Ordine|Aggiungi Articolo|Elimina Articolo|L|111110";
const char* const kUpdateListing =
    "Aggiorna Ordine|Stampa Ordine|Chiudi|Aggiungi Articolo|Elenco|S|110000";
const char* const kUpdateChosen =
    "Aggiorna|Richiama Articoli|Chiudi|Aggiungi Articolo|Elenco|N|100000";
const char* const kUpdateLines =
    "Aggiorna|Richiama Articoli|Chiudi|Aggiungi Articolo|Elenco|L|111000";
const char* const kDeleteListing =
    "Elimina Ordini|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Elenco|S|110000";
const char* const kDeleteChosen =
    "Elimina Ordine|Elimina Ordine|Chiudi|Aggiungi Articolo|Elenco|L|110000";
const char* const kPrintListing =
    "Stampa Ordine|Stampa Ordine|Chiudi|Aggiungi Articolo|Elenco|S|110000";
const char* const kPrintChosen =
    "Stampa Ordine|Stampa Ordine|Chiudi|Aggiungi Articolo|Elenco|L|110000";

} // namespace

class TestOrderFlow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void transitions_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("does"); // the action or click chosen, where it matters
        auto row = [](const char* name, const char* from, const char* event, const char* to,
                      const char* does = "") {
            QTest::newRow(name) << QString::fromUtf8(from) << QString::fromLatin1(event)
                                << QString::fromUtf8(to) << QString::fromLatin1(does);
        };
        // The year choice (mode 1 offers C1 unticked, whatever the panel was used for last;
        // modes 2 to 4 keep Cmd4 and Cmd5).
        row("year 1", kFresh, "year1", kNew);
        row("year 1 after printing", kPrintChosen, "year1", kNew);
        row("year 1 after an update", kUpdateLines, "year1",
            "Nuovo Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Elenco|L|101010");
        row("year 2", kNewListed, "year2",
            "Aggiorna Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Modifica "
            "Articolo|S|111000");
        row("year 3", kPrintChosen, "year3",
            "Elimina Ordini|Stampa Ordine|Chiudi|Aggiungi Articolo|Elenco|S|110000");
        row("year 4", kDeleteChosen, "year4",
            "Stampa Ordine|Elimina Ordine|Chiudi|Aggiungi Articolo|Elenco|S|110000");
        row("year with no command", kNew, "year5", kNew);
        row("manual number ticked", kNew, "manual1",
            "Nuovo Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Elenco|L|101011");

        // Course 1: new order.
        row("line stored", kNew, "press:Done", kNewListed);
        row("insert declined", kNew, "press:Declined", kNew, "AggiungiArticolo");
        row("required field missing", kNew, "press:Refused", kNew, "AggiungiArticolo");
        row("line clicked", kNewListed, "click", kNewModify);
        row("line clicked with C1 ticked", kNewDelete, "click", kNewDelete, "LoadLine");
        row("line clicked unticks C2",
            "Nuovo Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Modifica "
            "Articolo|L|111011",
            "click", kNewModify);
        row("line modified", kNewModify, "press:Done", kNewListed);
        row("modification declined",
            "Nuovo Ordine|Modifica Articolo|Chiudi Ordine|Aggiungi Articolo|Elimina "
            "Articolo|L|111010",
            "press:Declined",
            "Nuovo Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Elimina "
            "Articolo|L|111010");
        row("modification refused", kNewModify, "press:Refused", kNewModify, "ModificaArticolo");
        row("C1 ticked", kNewModify, "tick1", kNewDelete);
        row("C1 unticked", kNewDelete, "tick0", kNewModify);
        row("C1 ticked before any click", kNewListed, "tick1", kNewDelete);
        row("line deleted", kNewDelete, "press:Done", kNewListed);
        row("line deletion declined", kNewDelete, "press:Declined", kNewDelete, "EliminaArticolo");
        row("line deletion refused", kNewDelete, "press:Refused", kNewDelete, "EliminaArticolo");
        row("Chiudi Ordine", kNewListed, "close",
            "Nuovo Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Modifica "
            "Articolo|L|011010");

        // Course 2: update.
        row("order chosen for update", kUpdateListing, "click", kUpdateChosen);
        row("Richiama Articoli", kUpdateChosen, "press:Done", kUpdateLines);
        row("Richiama Articoli again", kUpdateLines, "press:Done", kUpdateLines,
            "RichiamaArticoli");
        row("update: line clicked", kUpdateLines, "click",
            "Aggiorna|Modifica Articolo|Chiudi|Aggiungi Articolo|Elenco|L|111000");
        row("update: line modified",
            "Aggiorna|Modifica Articolo|Chiudi|Aggiungi Articolo|Elenco|L|111000", "press:Done",
            "Aggiorna|Aggiungi Articolo|Chiudi|Aggiungi Articolo|Modifica Articolo|L|111000");
        row("update: line added",
            "Aggiorna|Aggiungi Articolo|Chiudi|Aggiungi Articolo|Modifica Articolo|L|111000",
            "press:Done",
            "Aggiorna|Aggiungi Articolo|Chiudi|Aggiungi Articolo|Modifica Articolo|L|111000");
        row("update: Chiudi", kUpdateLines, "close",
            "Aggiorna|Richiama Articoli|Chiudi|Aggiungi Articolo|Elenco|L|011010");

        // Course 3: delete.
        row("order chosen for delete", kDeleteListing, "click", kDeleteChosen);
        row("order deleted", kDeleteChosen, "press:Done",
            "Elimina Ordine|Elimina Ordine|Chiudi|Aggiungi Articolo|Elenco|L|010000");
        row("order deletion declined", kDeleteChosen, "press:Declined", kDeleteChosen,
            "EliminaOrdine");

        // Course 4: print.
        row("order chosen for print", kPrintListing, "click", kPrintChosen);
        row("sheet made", kPrintChosen, "press:Done", kPrintChosen, "StampaOrdine");
        row("print: Chiudi", kPrintChosen, "close",
            "Stampa Ordine|Stampa Ordine|Chiudi|Aggiungi Articolo|Elenco|L|010010");

        // Presses and clicks that must do nothing.
        // Presses and clicks that must do nothing.
        auto nothing = [&](const char* name, const char* from, const char* event) {
            row(name, from, event, from, "None");
        };
        nothing("press before an order is chosen (update)", kUpdateListing, "press:Done");
        nothing("press before an order is chosen (delete)",
                "Elimina Ordini|Elimina Ordine|Chiudi|Aggiungi Articolo|Elenco|S|110000",
                "press:Done");
        nothing("press before an order is chosen (print)", kPrintListing, "press:Done");
        nothing("press with a caption of another mode",
                "Nuovo Ordine|Elimina Ordine|Chiudi Ordine|Aggiungi Articolo|Elenco|L|101010",
                "press:Done");
        nothing("Richiama Articoli in a new order",
                "Nuovo Ordine|Richiama Articoli|Chiudi Ordine|Aggiungi Articolo|Elenco|L|101010",
                "press:Done");
        nothing("Stampa Ordine in Aggiorna",
                "Aggiorna|Stampa Ordine|Chiudi|Aggiungi Articolo|Elenco|L|111000", "press:Done");
        nothing("press with an empty caption",
                "Nuovo Ordine||Chiudi Ordine|Aggiungi Articolo|Elenco|L|101010", "press:Done");
        nothing("press on a hidden panel",
                "Nuovo Ordine|Aggiungi Articolo|Chiudi Ordine|Aggiungi Articolo|Elenco|L|001010",
                "press:Done");
        nothing("click in Elimina Ordine", kDeleteChosen, "click");
        nothing("click after the order was chosen for print", kPrintChosen, "click");
        nothing("click on the hidden list of Aggiorna", kUpdateChosen, "click");
    }
    void transitions() {
        QFETCH(QString, from);
        QFETCH(QString, event);
        QFETCH(QString, to);
        QFETCH(QString, does);
        QString did;
        QCOMPARE(describe(run(parse(from), event, did)), to);
        if (!does.isEmpty())
            QCOMPARE(did, does);
    }
};

QTEST_APPLESS_MAIN(TestOrderFlow)
#include "tst_orderflow.moc"
