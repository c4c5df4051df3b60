#include "OrderFlow.h"

namespace orderflow {
namespace {

bool is(const QString& caption, QLatin1String text) {
    return caption == text;
}

// The modes in which the list shows the lines of the order being entered or updated, so that
// a click loads one of them.
bool editsLines(const State& s) {
    return is(s.mode, kNuovoOrdine) || is(s.mode, kAggiorna);
}

QString lineAction(bool deleteTicked) {
    return deleteTicked ? QString(kEliminaArticolo) : QString(kModificaArticolo);
}

// The header of an order was loaded from the listing: the panel moves on to the chosen work.
State chosen(const State& s, QLatin1String mode, QLatin1String action, bool listShown,
             Shows shows) {
    State n = s;
    n.mode = mode;
    n.action = action;
    n.close = kChiudi;
    n.panelShown = true;
    n.listShown = listShown;
    n.shows = shows;
    n.manualTicked = false;
    return n;
}

} // namespace

State afterYear(const State& s, int command) {
    State n = s;
    switch (command) {
    case 1:
        n.mode = kNuovoOrdine;
        n.action = kAggiungiArticolo;
        n.close = kChiudiOrdine;
        n.lineCaption = kAggiungiArticolo;
        // The list stays hidden, as the menu command left it, until the first line is stored.
        n.listShown = false;
        n.shows = Shows::Lines;
        // "Elimina" is offered in every new order, whatever mode the panel was last used in.
        n.deleteShown = true;
        n.deleteTicked = false;
        n.manualShown = true;
        n.manualTicked = false;
        break;
    case 2:
    case 3:
    case 4:
        n.mode = command == 2 ? kAggiornaOrdine : command == 3 ? kEliminaOrdini : kStampaOrdine;
        // Cmd4 and Cmd5 keep their captions until an order is chosen; pressAction() makes
        // Cmd4 do nothing meanwhile.
        n.listShown = true;
        n.shows = Shows::Listing;
        n.manualShown = false;
        n.manualTicked = false;
        break;
    default:
        return s;
    }
    n.panelShown = true;
    return n;
}

Click clickAction(const State& s) {
    switch (s.shows) {
    case Shows::Listing:
        if (is(s.mode, kAggiornaOrdine))
            return Click::ChooseForUpdate;
        if (is(s.mode, kEliminaOrdini))
            return Click::ChooseForDelete;
        if (is(s.mode, kStampaOrdine))
            return Click::ChooseForPrint;
        return Click::None;
    case Shows::Lines:
        // "Elimina Ordine" and "Stampa Ordine" with an order chosen list the lines only to
        // show them.
        return editsLines(s) ? Click::LoadLine : Click::None;
    case Shows::Nothing:
        return Click::None;
    }
    return Click::None;
}

State afterClick(const State& s, Click click) {
    switch (click) {
    case Click::None:
        return s;
    case Click::LoadLine: {
        State n = s;
        n.action = lineAction(s.deleteTicked);
        n.manualTicked = false;
        return n;
    }
    case Click::ChooseForUpdate:
        // The list goes back below the article fields, hidden until "Richiama Articoli".
        return chosen(s, kAggiorna, kRichiamaArticoli, false, Shows::Nothing);
    case Click::ChooseForDelete:
        return chosen(s, kEliminaOrdine, kEliminaOrdine, true, Shows::Lines);
    case Click::ChooseForPrint:
        return chosen(s, kStampaOrdine, kStampaOrdine, true, Shows::Lines);
    }
    return s;
}

Action pressAction(const State& s) {
    // Before an order is chosen in the listing, Cmd4 still carries the caption of its last use
    // and T7 the last number: a press must not act on that number in the newly chosen year.
    if (!s.panelShown || s.shows == Shows::Listing)
        return Action::None;
    struct Allowed {
        QLatin1String action;
        Action what;
        QLatin1String modes[2];
    };
    static const Allowed table[] = {
        {kRichiamaArticoli, Action::RichiamaArticoli, {kAggiorna, kAggiorna}},
        {kAggiungiArticolo, Action::AggiungiArticolo, {kNuovoOrdine, kAggiorna}},
        {kModificaArticolo, Action::ModificaArticolo, {kNuovoOrdine, kAggiorna}},
        {kEliminaArticolo, Action::EliminaArticolo, {kNuovoOrdine, kAggiorna}},
        {kEliminaOrdine, Action::EliminaOrdine, {kEliminaOrdine, kEliminaOrdine}},
        {kStampaOrdine, Action::StampaOrdine, {kStampaOrdine, kStampaOrdine}},
    };
    for (const Allowed& a : table)
        if (is(s.action, a.action))
            return is(s.mode, a.modes[0]) || is(s.mode, a.modes[1]) ? a.what : Action::None;
    return Action::None;
}

State afterPress(const State& s, Action action, Outcome outcome) {
    State n = s;
    switch (action) {
    case Action::None:
        return s;
    case Action::RichiamaArticoli:
        if (outcome != Outcome::Done)
            return s;
        n.listShown = true;
        n.shows = Shows::Lines;
        n.deleteShown = true;
        n.deleteTicked = false;
        return n;
    case Action::AggiungiArticolo:
        // The button keeps "Aggiungi Articolo": the next line of the same order follows.
        if (outcome != Outcome::Done)
            return s;
        n.listShown = true;
        n.shows = Shows::Lines;
        n.deleteTicked = false;
        n.listCaption = kModificaArticolo;
        return n;
    case Action::ModificaArticolo:
        if (outcome == Outcome::Refused)
            return s;
        n.action = kAggiungiArticolo;
        n.deleteTicked = false;
        if (outcome == Outcome::Done)
            n.listCaption = kModificaArticolo;
        return n;
    case Action::EliminaArticolo:
        if (outcome != Outcome::Done)
            return s;
        n.action = kAggiungiArticolo;
        n.listCaption = kModificaArticolo;
        n.deleteTicked = false;
        return n;
    case Action::EliminaOrdine:
        if (outcome != Outcome::Done)
            return s;
        n.panelShown = false;
        return n;
    case Action::StampaOrdine:
        // The sheet can be made again; the panel does not change.
        return s;
    }
    return s;
}

State afterDeleteTick(const State& s, bool ticked) {
    State n = s;
    n.deleteTicked = ticked;
    if (s.deleteShown) {
        n.action = lineAction(ticked);
        n.listCaption = n.action;
    }
    return n;
}

State afterManualTick(const State& s, bool ticked) {
    State n = s;
    n.manualTicked = ticked;
    return n;
}

State afterClose(const State& s) {
    State n = s;
    n.panelShown = false;
    n.manualShown = true;
    n.manualTicked = false;
    return n;
}

const char* toString(Action a) {
    switch (a) {
    case Action::None:
        return "None";
    case Action::RichiamaArticoli:
        return "RichiamaArticoli";
    case Action::AggiungiArticolo:
        return "AggiungiArticolo";
    case Action::ModificaArticolo:
        return "ModificaArticolo";
    case Action::EliminaArticolo:
        return "EliminaArticolo";
    case Action::EliminaOrdine:
        return "EliminaOrdine";
    case Action::StampaOrdine:
        return "StampaOrdine";
    }
    return "?";
}

const char* toString(Click c) {
    switch (c) {
    case Click::None:
        return "None";
    case Click::LoadLine:
        return "LoadLine";
    case Click::ChooseForUpdate:
        return "ChooseForUpdate";
    case Click::ChooseForDelete:
        return "ChooseForDelete";
    case Click::ChooseForPrint:
        return "ChooseForPrint";
    }
    return "?";
}

const char* toString(Outcome o) {
    switch (o) {
    case Outcome::Done:
        return "Done";
    case Outcome::Declined:
        return "Declined";
    case Outcome::Refused:
        return "Refused";
    }
    return "?";
}

const char* toString(Shows s) {
    switch (s) {
    case Shows::Nothing:
        return "Nothing";
    case Shows::Listing:
        return "Listing";
    case Shows::Lines:
        return "Lines";
    }
    return "?";
}

} // namespace orderflow
