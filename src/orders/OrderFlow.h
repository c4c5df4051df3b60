#pragma once

#include <QLatin1String>
#include <QString>

// The order panel's state machine. The panel's modes are the caption of Frame3 and the next
// action is the caption of Cmd4, as the user sees them; every rule that moves from one caption
// to another lives here, free of widgets, so that the whole machine can be read (and tested) in
// one place. The panel reads its state from its elements, asks what an event means, does the
// work, and shows the state that follows.
namespace orderflow {

// Captions of Frame3: the modes.
inline constexpr QLatin1String kNuovoOrdine("Nuovo Ordine");
inline constexpr QLatin1String kAggiornaOrdine("Aggiorna Ordine"); // listing, update pending
inline constexpr QLatin1String kAggiorna("Aggiorna");              // order chosen for update
inline constexpr QLatin1String kEliminaOrdini("Elimina Ordini");   // listing, delete pending
inline constexpr QLatin1String kEliminaOrdine("Elimina Ordine");   // order chosen for delete
inline constexpr QLatin1String kStampaOrdine("Stampa Ordine");     // listing, or order chosen

// Captions of Cmd4: the actions ("Elimina Ordine" and "Stampa Ordine" too).
inline constexpr QLatin1String kRichiamaArticoli("Richiama Articoli");
inline constexpr QLatin1String kAggiungiArticolo("Aggiungi Articolo");
inline constexpr QLatin1String kModificaArticolo("Modifica Articolo");
inline constexpr QLatin1String kEliminaArticolo("Elimina Articolo");

// Captions of Cmd5.
inline constexpr QLatin1String kChiudiOrdine("Chiudi Ordine");
inline constexpr QLatin1String kChiudi("Chiudi");

// What ListView5 holds.
enum class Shows {
    Nothing, // emptied, or hidden after an order was chosen for update
    Listing, // the orders of a year: no order chosen yet
    Lines,   // the lines of the order on screen
};

struct State {
    QString mode;        // caption of Frame3
    QString action;      // caption of Cmd4
    QString close;       // caption of Cmd5
    QString lineCaption; // caption of Frame4
    QString listCaption; // caption of Frame5
    Shows shows = Shows::Nothing;
    bool panelShown = false;   // Frame3
    bool listShown = false;    // Frame5
    bool deleteShown = false;  // C1 "Elimina"
    bool deleteTicked = false; // C1
    bool manualShown = false;  // C2 "Nr manuale"
    bool manualTicked = false; // C2; T7 is editable exactly while it is ticked

    bool operator==(const State&) const = default;
};

// What a press of Cmd4 does.
enum class Action {
    None,
    RichiamaArticoli,
    AggiungiArticolo,
    ModificaArticolo,
    EliminaArticolo,
    EliminaOrdine,
    StampaOrdine,
};

// How an action ended.
enum class Outcome {
    Done,     // stored, changed, deleted, listed or printed
    Declined, // the question was answered No
    Refused,  // a field was missing or wrong, no line was loaded, or the database failed:
              // nothing was written and the fields stay as they were
};

// What a click on a row of ListView5 does.
enum class Click {
    None,
    LoadLine,        // the line goes into the article fields
    ChooseForUpdate, // the order's header is loaded, "Richiama Articoli" follows
    ChooseForDelete, // the header is loaded and the lines are listed for "Elimina Ordine"
    ChooseForPrint,  // the header is loaded and the lines are listed for "Stampa Ordine"
};

// A year chosen in the year panel for the pending order command (1 to 4); any other command
// changes nothing.
State afterYear(const State& s, int command);

Click clickAction(const State& s);
State afterClick(const State& s, Click click);

Action pressAction(const State& s);
State afterPress(const State& s, Action action, Outcome outcome);

// The user ticks or unticks C1.
State afterDeleteTick(const State& s, bool ticked);
// The user ticks or unticks C2.
State afterManualTick(const State& s, bool ticked);
// Cmd5.
State afterClose(const State& s);

const char* toString(Action a);
const char* toString(Click c);
const char* toString(Outcome o);
const char* toString(Shows s);

} // namespace orderflow
