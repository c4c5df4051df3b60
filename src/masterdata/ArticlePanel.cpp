#include "ArticlePanel.h"

#include "InputRules.h"
#include "app/widgets/ClickLabel.h"
#include "app/widgets/Elements.h"
#include "app/widgets/ReportList.h"
#include "app/widgets/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ArticlePanel::ArticlePanel(AppContext& c, QWidget* parent)
    : Panel(c, "Frame2", QStringLiteral("Frame2"), parent) {
    twips::place(this, 120, 120, 14535, 8655);
    setFont(twips::arial(9.75));
    Elements e(this);
    Label5 = e.closeLabel("Label5", {14160, 240, 150, 270});
    Label2 = e.label("Label2", QStringLiteral("Codice Articolo"), {480, 600, 1320, 240}, {9.75});
    T3 = e.text("T3", {480, 840, 2295, 360}, {9.75}, 13, Qt::AlignHCenter);
    Label8 = e.label("Label8", QStringLiteral("Descrizione Articolo"), {2880, 600, 1740, 240},
                     {9.75});
    Cbo2 = e.combo("Cbo2", {2880, 840, 6855, 315}, {11.25});
    L3 = e.holder("L3", QStringLiteral("L3"), {9960, 840, 855, 255});
    Label7 = e.label("Label7", QStringLiteral("Formato"), {480, 1320, 720, 240}, {9.75});
    T5 = e.text("T5", {480, 1560, 7335, 360}, {9.75});
    Label9 = e.label("Label9", QStringLiteral("Peso Collo (KG/LIT)"), {7920, 1320, 1725, 240},
                     {9.75});
    T6 = e.text("T6", {7920, 1560, 1815, 360}, {9.75});
    Cmd2 = e.button("Cmd2", QString(), {9960, 1560, 1695, 375}, {9.75});
    Cmd3 = e.button("Cmd3", QStringLiteral("Excel"), {12000, 1560, 1695, 375}, {9.75});
    Label6 = e.label("Label6", QStringLiteral("Elenco"), {480, 2160, 600, 240}, {9.75});
    ListView3 = e.list("ListView3", {480, 2400, 13680, 5880}, {9});

    inputrules::upperCase(T3);
    inputrules::upperCase(Cbo2);
    inputrules::upperCase(T5);
    inputrules::upperCase(T6);

    setTabOrder(T3, Cbo2);
    setTabOrder(Cbo2, T5);
    setTabOrder(T5, T6);
    setTabOrder(T6, Cmd2);
    setTabOrder(Cmd2, ListView3);
    setTabOrder(ListView3, Cmd3);

    connect(Label5, &ClickLabel::clicked, this, &ArticlePanel::Label5_Click);
}

void ArticlePanel::apri(Mode mode) {
    struct Texts {
        const char* caption;
        const char* button;
        const char* list;
    };
    static const Texts texts[] = {
        {"Inserisci Articolo", "Inserisci", "Elenco Articoli Inseriti "},
        {"Aggiorna Articolo", "Aggiorna",
         "Seleziona  l'Articolo da Aggiornare Cliccando sulla Riga Interessata "},
        {"Elimina Articolo", "Elimina",
         "Seleziona  l' Articolo da Eliminare  Cliccando sulla Riga Interessata "},
    };
    const Texts& t = texts[int(mode)];
    setTitle(QString::fromUtf8(t.caption));
    Cmd2->setText(QString::fromUtf8(t.button));
    Label6->setText(QString::fromUtf8(t.list));
    T3->clear();
    L3->clear();
    T5->clear();
    T6->clear();
    Cbo2->setEditText(QString());
    T3->setFocus();
}

void ArticlePanel::Label5_Click() {
    hide();
}
