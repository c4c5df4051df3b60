#include "Gestione.h"

#include "ArchiveStartup.h"
#include "BackupCommands.h"
#include "FirstSteps.h"
#include "IdleLock.h"
#include "KeyPrompt.h"
#include "PasswordCommands.h"
#include "PasswordsMoved.h"
#include "StartupRecovery.h"
#include "StatusBar.h"
#include "TitleClock.h"
#include "UserGuide.h"
#include "WindowZoom.h"
#include "app/mail/ContactCommands.h"
#include "app/mail/OrderMailCommands.h"
#include "data/FolderNames.h"
#include "data/ItalianText.h"
#include "data/Rekey.h"
#include "data/Schema.h"
#include "masterdata/AgentDialog.h"
#include "masterdata/AgentPanel.h"
#include "masterdata/ArticlePanel.h"
#include "masterdata/CustomerPanel.h"
#include "masterdata/ExportCommands.h"
#include "orders/LastPrice.h"
#include "orders/Numbering.h"
#include "orders/OrderFocus.h"
#include "orders/OrderPanel.h"
#include "orders/OrderPrintCommands.h"
#include "orders/OrderTotalsLine.h"
#include "orders/YearPanel.h"
#include "pricelists/ImportCommands.h"
#include "search/SearchWindow.h"
#include "stats/StatsWindow.h"
#include "sync/SyncCommands.h"
#include "ui/Tell.h"
#include "ui/Titles.h"
#include "ui/widgets/ReportList.h"
#include "ui/widgets/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>

Gestione::Gestione(AppContext& c, QWidget* parent)
    : QMainWindow(parent), ctx(c),
      m_backups(std::make_unique<BackupCommands>(c, [this]() { refreshPanels(); })),
      m_passwords(std::make_unique<PasswordCommands>(c, [this]() { refreshPanels(); })),
      m_sync(std::make_unique<SyncCommands>(c, [this]() { refreshPanels(); })) {
    setObjectName(QStringLiteral("Gestione"));
    setWindowTitle(QStringLiteral("Gestione Ordini"));
    setFont(twips::arial(11.25));
    // Menus, suggestion lists and boxes are windows of their own and take the application's
    // font, not the window's: they get the window's family at the desktop's size.
    QFont shared = QApplication::font();
    shared.setFamily(font().family());
    QApplication::setFont(shared);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    client->setFixedSize(twips::px(14835), twips::px(9465 - 375));
    setCentralWidget(client);

    // Created from the bottom of the stack to the top: each later panel lies in front.
    Frame1 = new CustomerPanel(ctx, client);
    Frame2 = new ArticlePanel(ctx, client);
    Frame3 = new OrderPanel(ctx, client);
    Frame7 = new YearPanel(ctx, client);
    Frame8 = new AgentPanel(ctx, client);
    for (QWidget* p : std::initializer_list<QWidget*>{Frame1, Frame2, Frame3, Frame7, Frame8}) {
        p->hide();
        p->raise();
    }

    TotaliOrdine = new OrderTotalsLine(Frame3);
    UltimoPrezzo = new LastPrice(ctx, Frame3);
    Cerca = new SearchWindow(ctx, this);
    connect(Cerca, &SearchWindow::orderChosen, this, &Gestione::ApriOrdine);

    StatusBar1 = new StatusBar(this);
    setStatusBar(StatusBar1);
    ctx.status = [this](const QString& text) { StatusBar1->showMessage(text, 20000); };
    m_zoom = new WindowZoom(this, [this](const QString& text) {
        if (ctx.status)
            ctx.status(text);
    });
    buildMenus();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1500);
    connect(Timer1, &QTimer::timeout, this, &Gestione::Timer1_Timer);
    // Three wrong passwords at the lock end the program as at start: nothing is saved, no copy
    // is made, the file is closed as it is.
    m_idle = new IdleLock(ctx, this, [this]() {
        Timer1->stop();
        if (ctx.connection)
            ctx.connection->close();
        m_ending = true;
        close();
        QCoreApplication::exit(1);
    });

    connect(Frame7, &YearPanel::yearChosen, this, [this](int command, const QString& year) {
        Frame7->hide();
        Frame3->ScegliAnno(command, year);
        orderfocus::afterYear(*Frame3);
    });

    // A shutdown of the desktop is refused like every other close.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& m) {
        if (!m_ending && m.allowsInteraction())
            m.cancel();
    });
    qApp->installEventFilter(this);
    adjustSize();
    m_zoom->applyKept();
}

Gestione::~Gestione() {
    ctx.status = nullptr;
    if (qApp)
        qApp->removeEventFilter(this);
}

QAction* Gestione::command(QMenu* menu, const char* name, const QString& caption,
                           void (Gestione::*handler)()) {
    QAction* a = menu ? menu->addAction(caption) : menuBar()->addAction(caption);
    a->setObjectName(QLatin1String(name));
    connect(a, &QAction::triggered, this, handler);
    return a;
}

void Gestione::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menu"));
    command(nullptr, "Chiudi", QStringLiteral("&Chiudi"), &Gestione::Chiudi_Click);

    QMenu* clienti = bar->addMenu(QStringLiteral("&Gestione Cliente"));
    clienti->setObjectName(QStringLiteral("GCliente"));
    clienti->menuAction()->setObjectName(QStringLiteral("GClienteMenu"));
    command(clienti, "CNuovo", QStringLiteral("Nuovo"), &Gestione::CNuovo_Click);
    command(clienti, "CAggiorna", QStringLiteral("Aggiorna"), &Gestione::CAggiorna_Click);
    command(clienti, "CElimina", QStringLiteral("Elimina"), &Gestione::CElimina_Click);
    command(clienti, "StampaClienti", QStringLiteral("Stampa Elenco"),
            &Gestione::StampaClienti_Click);
    contactCommands = new ContactCommands(ctx, Frame1, this);
    clienti->addAction(contactCommands->SchedaCliente);

    QMenu* articoli = bar->addMenu(QStringLiteral("&Gestione Articoli"));
    articoli->setObjectName(QStringLiteral("GArticoli"));
    articoli->menuAction()->setObjectName(QStringLiteral("GArticoliMenu"));
    command(articoli, "ANuovo", QStringLiteral("Nuovo"), &Gestione::ANuovo_Click);
    command(articoli, "AAggiorna", QStringLiteral("Aggiorna"), &Gestione::AAggiorna_Click);
    command(articoli, "AElimina", QStringLiteral("Elimina"), &Gestione::AElimina_Click);
    command(articoli, "StampaArticolo", QStringLiteral("Stampa Articolo"),
            &Gestione::StampaArticolo_Click);
    command(articoli, "ImportaListino", QStringLiteral("Importa listino…"),
            &Gestione::ImportaListino_Click);
    command(articoli, "AnnullaListino", QStringLiteral("Annulla ultimo listino"),
            &Gestione::AnnullaListino_Click);
    articoli->addAction(contactCommands->Mandanti);

    QMenu* ordini = bar->addMenu(QStringLiteral("&Gestione Ordine"));
    ordini->setObjectName(QStringLiteral("GOrdine"));
    ordini->menuAction()->setObjectName(QStringLiteral("GOrdineMenu"));
    command(ordini, "Nordine", QStringLiteral("Nuovo Ordine"), &Gestione::Nordine_Click);
    command(ordini, "Aordine", QStringLiteral("Aggiorna/Elimina Ordine e Articoli"),
            &Gestione::Aordine_Click);
    command(ordini, "Eordine", QStringLiteral("Elimina Ordini"), &Gestione::Eordine_Click);
    command(ordini, "StampaOrdine", QStringLiteral("Stampa Ordine"), &Gestione::StampaOrdine_Click);
    // The order chosen in "Stampa Ordine" on paper and as PDF.
    ordini->addSeparator();
    ordini->addActions(Frame3->printCommands->actions());
    // The same order sent by e-mail.
    mailCommands = new OrderMailCommands(ctx, Frame3);
    ordini->addAction(mailCommands->InviaOrdine);
    ordini->addAction(mailCommands->OrdiniDaInviare);
    ordini->addAction(mailCommands->ImpostazioniInvio);
    connect(Cerca, &SearchWindow::sendChosen, mailCommands,
            [this](const QString& y, const QString& n) {
                mailCommands->sendOrder(y, n);
                Cerca->mostraStatoInvio();
            });

    command(nullptr, "MUtente", QStringLiteral("&Utente"), &Gestione::MUtente_Click);

    QMenu* archivio = bar->addMenu(QStringLiteral("&Archivio"));
    archivio->setObjectName(QStringLiteral("GArchivio"));
    archivio->menuAction()->setObjectName(QStringLiteral("GArchivioMenu"));
    QAction* copia = archivio->addAction(QStringLiteral("Copia di sicurezza…"));
    copia->setObjectName(QStringLiteral("CopiaSicurezza"));
    connect(copia, &QAction::triggered, this, [this]() { m_backups->CopiaSicurezza_Click(); });
    QAction* ripristina = archivio->addAction(QStringLiteral("Ripristina da copia…"));
    ripristina->setObjectName(QStringLiteral("Ripristina"));
    connect(ripristina, &QAction::triggered, this, [this]() { m_backups->Ripristina_Click(); });
    QAction* password = archivio->addAction(QStringLiteral("Password personale…"));
    password->setObjectName(QStringLiteral("PasswordPersonale"));
    connect(password, &QAction::triggered, this,
            [this]() { m_passwords->PasswordPersonale_Click(); });
    QAction* lock = archivio->addAction(QStringLiteral("Blocco dopo inattività…"));
    lock->setObjectName(QStringLiteral("BloccoInattivita"));
    connect(lock, &QAction::triggered, this, [this]() { m_idle->BloccoInattivita_Click(); });
    m_sync->addTo(archivio);

    // Ctrl+F from whatever panel is on screen.
    QAction* cerca = command(nullptr, "MCerca", QStringLiteral("C&erca"), &Gestione::MCerca_Click);
    cerca->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    cerca->setShortcutContext(Qt::WindowShortcut);

    // Ctrl+T: the statistics, beside the window.
    QAction* statistiche = command(nullptr, "MStatistiche", QStringLiteral("&Statistiche"),
                                   &Gestione::MStatistiche_Click);
    statistiche->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    statistiche->setShortcutContext(Qt::WindowShortcut);
    m_zoom->addMenu(bar, nullptr);

    QMenu* aiuto = bar->addMenu(QStringLiteral("A&iuto"));
    aiuto->setObjectName(QStringLiteral("MAiuto"));
    aiuto->menuAction()->setObjectName(QStringLiteral("MAiutoMenu"));
    command(aiuto, "PrimiPassi", QStringLiteral("Primi passi"), &Gestione::PrimiPassi_Click);
    command(aiuto, "Guida", QStringLiteral("Guida"), &Gestione::Guida_Click);
    command(aiuto, "NomeAgente", QStringLiteral("Nome dell'agente…"), &Gestione::NomeAgente_Click);
}

Status Gestione::Form_Load() {
    Frame3->hide();
    Frame1->hide();
    Frame2->hide();
    Frame7->hide();
    Frame8->hide();

    const QString path = QDir(ctx.appDir).filePath(QLatin1String(schema::kFileName));
    if (!archivestartup::offerConversion(ctx, path))
        return makeError(QStringLiteral("conversione dell'archivio non riuscita"));
    // A change of password cut short leaves its new file beside the database, which is whole.
    rekey::removeLeftover(path);
    std::optional<FileKey> damagedUnder;
    auto opened = keyprompt::openAsking(ctx.dialogs, path, &damagedUnder);
    // A file shown to be damaged gets the offer of the newest good copy under its own key; a
    // file whose password was not given is no damaged file.
    if (!opened && opened.error().code != keyprompt::kGivenUp) {
        if (auto key = startuprecovery::offerCopy(ctx, path, opened.error(), damagedUnder))
            opened = Database::open(path, *key);
    }
    if (!opened && opened.error().code == keyprompt::kGivenUp) {
        ctx.dialogs.message(opened.error().text, QStringLiteral("Gestione Ordini"),
                            BoxIcon::Critical);
        return opened.error();
    }
    Status status = opened ? Status() : Status(opened.error());
    if (opened) {
        ctx.connection = std::move(*opened);
        // Nothing is written into a file before it is found to be the program's: one refused
        // (a newer program's among them) is left as it was.
        status = schema::prepareOpened(ctx.db());
        if (!status)
            ctx.connection.reset();
    }
    if (!status) {
        const QString cause = itext::capitalised(status.error().text);
        const QString text = QStringLiteral("Impossibile aprire il database\n%1\n\n%2.\n\n"
                                            "Il programma verrà chiuso.")
                                 .arg(folders::shownNative(path), cause);
        ctx.dialogs.message(text, QStringLiteral("Gestione Ordini"), BoxIcon::Critical);
        return makeError(text, status.error().code);
    }

    // The year of today is always offered, even on the first day of a year the file lacks. A
    // year that cannot be added is no reason to stop: the file works as it is.
    (void)numbering::ensureYear(ctx.db(), ctx.clock.today().year());
    // Before any copy is made: the accounts' passwords leave a file where they may not stay,
    // and copies a change of password cut short left under the built-in key follow the file.
    passwordsmoved::tidy(ctx);
    m_passwords->finishCopies();
    // A sending cut short by the end of the program is uncertain, and told.
    mailCommands->settleInterrupted();
    m_backups->copiaAvvio(path);
    m_idle->reload();

    AggiornaTitolo();
    StatusBar1->showLocks(readKeyboardLocks());
    Timer1->start();
    m_sync->startAutomatic();
    return {};
}

void Gestione::Timer1_Timer() {
    AggiornaTitolo();
    StatusBar1->showLocks(readKeyboardLocks());
    m_idle->check();
}

void Gestione::AggiornaTitolo() {
    setWindowTitle(testoTitolo(ctx.clock.now()));
}

void Gestione::Chiudi_Click() {
    if (!ctx.dialogs.question(QStringLiteral(" Vuoi uscrire dall'applicativo ? "), titles::t20()))
        return;
    ChiudiApplicazione();
}

void Gestione::ChiudiApplicazione() {
    // A sync still running stops first: the copy made at exit then holds what it wrote.
    m_sync->stop();
    m_backups->copiaUscita();
    if (ctx.connection)
        ctx.connection->close();
    Timer1->stop();
    m_ending = true;
    close();
    QCoreApplication::exit(0);
}

void Gestione::closeEvent(QCloseEvent* e) {
    // Form_QueryUnload: only "Chiudi" ends the program.
    if (m_ending)
        e->accept();
    else
        e->ignore();
}

void Gestione::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(avail.center());
        // On a screen smaller than the window its top-left corner stays in sight.
        move(qMax(frame.left(), avail.left()), qMax(frame.top(), avail.top()));
    }
}

void Gestione::showAsLeft() {
    if (m_zoom->keptMaximised())
        showMaximized();
    else
        show();
}

void Gestione::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange)
        m_zoom->follow();
}

void Gestione::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    m_zoom->follow();
}

bool Gestione::eventFilter(QObject* obj, QEvent* e) {
    if (m_idle->filter(obj, e))
        return true;
    if (e->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_NumLock || key == Qt::Key_CapsLock)
            StatusBar1->showLocks(readKeyboardLocks());
    }
    return QMainWindow::eventFilter(obj, e);
}

void Gestione::showCustomers() {
    Frame1->show();
    Frame3->hide();
    Frame2->hide();
    Frame7->hide();
    Frame8->hide();
}

void Gestione::showArticles() {
    Frame2->show();
    Frame1->hide();
    Frame3->hide();
    Frame7->hide();
    Frame8->hide();
}

void Gestione::CNuovo_Click() {
    showCustomers();
    Frame1->apri(CustomerPanel::Mode::Insert);
}

void Gestione::CAggiorna_Click() {
    showCustomers();
    Frame1->apri(CustomerPanel::Mode::Modify);
}

void Gestione::CElimina_Click() {
    showCustomers();
    Frame1->apri(CustomerPanel::Mode::Delete);
}

void Gestione::StampaClienti_Click() {
    tableexport::StampaClienti(ctx);
}

void Gestione::ANuovo_Click() {
    showArticles();
    Frame2->apri(ArticlePanel::Mode::Insert);
}

void Gestione::AAggiorna_Click() {
    showArticles();
    Frame2->apri(ArticlePanel::Mode::Update);
}

void Gestione::AElimina_Click() {
    showArticles();
    Frame2->apri(ArticlePanel::Mode::Delete);
}

void Gestione::StampaArticolo_Click() {
    tableexport::StampaArticolo(ctx);
}

void Gestione::ImportaListino_Click() {
    pricelists::ImportaListino(ctx, this, [this] { refreshCatalogue(); });
}

void Gestione::AnnullaListino_Click() {
    if (pricelists::AnnullaUltimoListino(ctx))
        refreshCatalogue();
}

void Gestione::refreshCatalogue() {
    // The lists that show the catalogue show the articles a list added, changed or took away.
    if (Frame2->mode())
        Frame2->CaricaArticoli();
    if (!Frame3->isHidden())
        if (Status s = Frame3->CaricaSceltaArticolo(); !s)
            ShowErrMsg(ctx.dialogs, s.error());
}

// The four order commands: the year panel with a caption whose digit names the command.
void Gestione::openYearPanel(int command) {
    Frame7->show();
    Frame7->setTitle(QStringLiteral("%1-Seleziona Anno").arg(command));
    Frame8->hide();
    if (Status s = Frame7->CaricaAnni(); !s)
        ShowErrMsg(ctx.dialogs, s.error());
    Frame1->hide();
    Frame2->hide();
    Frame3->hide();
    Frame3->Frame5->show();
    switch (command) {
    case 1:
        Frame3->setListGeometry(4800, 3615, 2640);
        Frame3->Frame5->hide();
        break;
    case 2:
    case 3:
        Frame3->setListGeometry(-1, 3375, 3000);
        Frame3->C1->hide();
        break;
    case 4:
        Frame3->setListGeometry(-1, 3375, 3100);
        Frame3->C1->hide();
        break;
    default:
        break;
    }
    Frame7->readyToType();
}

void Gestione::Nordine_Click() {
    openYearPanel(1);
}

void Gestione::Aordine_Click() {
    openYearPanel(2);
}

void Gestione::Eordine_Click() {
    openYearPanel(3);
}

void Gestione::StampaOrdine_Click() {
    openYearPanel(4);
}

void Gestione::refreshPanels() {
    const bool customers = !Frame1->isHidden();
    const bool articles = !Frame2->isHidden();
    Frame3->hide();
    Frame7->hide();
    Frame8->hide();
    // What the search shows is read again from the file as it is now.
    Cerca->rileggi();
    if (Statistiche)
        Statistiche->hide();
    m_idle->reload();
    if (customers && Frame1->mode())
        Frame1->apri(*Frame1->mode());
    if (articles && Frame2->mode())
        Frame2->apri(*Frame2->mode());
}

void Gestione::MUtente_Click() {
    Frame8->MUtente_Click();
}

void Gestione::PrimiPassi_Click() {
    // One page, beside the window: the user may read it while working.
    if (!m_firstSteps)
        m_firstSteps =
            new FirstSteps(QDir(ctx.appDir).filePath(QLatin1String(schema::kFileName)), this);
    m_firstSteps->show();
    m_firstSteps->raise();
    m_firstSteps->activateWindow();
}

void Gestione::Guida_Click() {
    if (!m_guide)
        m_guide = new UserGuide(this);
    m_guide->show();
    m_guide->raise();
    m_guide->activateWindow();
}

void Gestione::NomeAgente_Click() {
    // The agent panel, when open, shows what was saved.
    if (AgentDialog::changeBehindCode(ctx, this) && Frame8->isVisible())
        Frame8->CaricaUtente();
}

void Gestione::MCerca_Click() {
    Cerca->apri();
}

void Gestione::MStatistiche_Click() {
    // Made at its first use: the start-up does not wait for the charts.
    if (!Statistiche) {
        Statistiche = new StatsWindow(ctx, this);
        connect(Statistiche, &StatsWindow::orderChosen, this, &Gestione::ApriOrdine);
    }
    Statistiche->apri();
}

void Gestione::ApriOrdine(const QString& year, const QString& number) {
    // The course of "Aggiorna/Elimina Ordine e Articoli": the year, then the order in the
    // listing, which loads the header the same way.
    openYearPanel(2);
    Frame7->hide();
    Frame3->ScegliAnno(2, year);
    const ReportModel* listing = Frame3->ListView5->report();
    int row = -1;
    for (int r = 0; r < listing->rows() && row < 0; ++r)
        if (listing->cell(r, 3) == number)
            row = r;
    if (row < 0) {
        // The listing joins the register: an order whose customer is no longer there is not in
        // it, and cannot be updated from here either.
        tell::refusal(ctx.dialogs,
                      QStringLiteral("L'ordine %1 del %2 non è nell'elenco degli ordini "
                                     "dell'anno: il suo cliente non è in archivio.")
                          .arg(number, year),
                      titles::t20());
        return;
    }
    Frame3->ListView5->selectRow(row);
    Frame3->ListView5_ItemClick(row);
    Cerca->hide();
    activateWindow();
    raise();
    // The work goes on at "Richiama Articoli".
    Frame3->Cmd4->setFocus(Qt::OtherFocusReason);
}
