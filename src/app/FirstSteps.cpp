#include "FirstSteps.h"

#include "files/FolderNames.h"
#include "masterdata/AgentStore.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

FirstSteps::FirstSteps(const QString& dataFile, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PrimiPassi"));
    setWindowTitle(QStringLiteral("Primi passi"));
    auto* layout = new QVBoxLayout(this);
    TestoPrimiPassi = new QTextBrowser(this);
    TestoPrimiPassi->setObjectName(QStringLiteral("TestoPrimiPassi"));
    TestoPrimiPassi->setOpenLinks(false);
    TestoPrimiPassi->setHtml(page(dataFile));
    layout->addWidget(TestoPrimiPassi);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Chiudi"));
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("ChiudiPrimiPassi"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(640, 560);
}

QString FirstSteps::page(const QString& dataFile) {
    const QString file = folders::shownNative(dataFile).toHtmlEscaped();
    const QString folder = folders::shownNative(QFileInfo(dataFile).path()).toHtmlEscaped();
    return QStringLiteral(
               "<h2>Primi passi</h2>"
               "<h3>1. I dati dell'agente</h3>"
               "<p>Nome e indirizzo dell'agente compaiono in testa a ogni foglio d'ordine. Al "
               "primo avvio il programma li chiede nella finestra <i>Dati dell'agente</i>; si "
               "cambiano poi con il Codice di Controllo <b>%1</b>: il nome dal menu "
               "<b>Aiuto</b>, <b>Nome dell'agente…</b>, l'indirizzo anche dal menu "
               "<b>Utente</b>.</p>"
               "<h3>2. Dove vanno i file</h3>"
               "<ul>"
               "<li>Il database con clienti, articoli e ordini è il file<br><b>%2</b></li>"
               "<li>Le esportazioni di clienti e articoli (<i>Stampa Elenco</i>, <i>Stampa "
               "Articolo</i>, <i>Excel</i>) sono salvate nella stessa cartella:<br>%3</li>"
               "<li>I fogli d'ordine (<i>Stampa Ordine</i>) e i loro PDF sono nella cartella "
               "dei documenti, in <i>Gestione Ordini/Ordini/&lt;anno&gt;</i>, senza mai "
               "sostituire un foglio già fatto.</li>"
               "<li>Se nella cartella del programma c'è un file <i>Ordine.mdb</i>, il "
               "programma usa quello (installazione portatile, ad esempio su una chiavetta). "
               "Altrimenti usa la cartella dei dati dell'utente, <i>~/.local/share/Gestione "
               "Ordini</i>, dove al primo avvio copia il database vuoto fornito con il "
               "programma.</li>"
               "</ul>"
               "<h3>3. Una copia di sicurezza</h3>"
               "<p>Tutto il lavoro è in quell'unico file. Il programma ne fa da sé una copia "
               "all'uscita e all'avvio, se l'ultima ha più di un giorno, nella cartella "
               "<i>backup</i> accanto al file, e tiene le ultime 10. Per una copia su un altro "
               "disco o una chiavetta: menu <b>Archivio</b>, <b>Copia di sicurezza…</b>. Per "
               "tornare a una copia: <b>Archivio</b>, <b>Ripristina da copia…</b>.</p>"
               "<h3>4. Il vecchio archivio</h3>"
               "<p>Gli ordini del programma precedente (un <i>Ordine.mdb</i> in formato Access) "
               "si portano in un nuovo file con lo strumento fornito con il programma:<br>"
               "<tt>gestione-makedb --importa VECCHIO.mdb Ordine.mdb</tt><br>"
               "Il vecchio file non viene modificato. Mettere poi il nuovo <i>Ordine.mdb</i>, a "
               "programma chiuso, nella cartella indicata sopra. Se il programma trova al suo "
               "avvio un <i>Ordine.mdb</i> del vecchio formato, propone da sé la "
               "conversione.</p>")
        .arg(agent::kAccessCode)
        .arg(file, folder);
}
