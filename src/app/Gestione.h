#pragma once

#include "ui/AppContext.h"

#include <QMainWindow>

#include <memory>

class QTimer;
class QMenu;
class QAction;
class CustomerPanel;
class ArticlePanel;
class OrderPanel;
class YearPanel;
class AgentPanel;
class StatusBar;
class FirstSteps;
class UserGuide;
class SearchWindow;
class StatsWindow;
class OrderTotalsLine;
class LastPrice;
class BackupCommands;
class PasswordCommands;
class IdleLock;
class WindowZoom;
class SyncCommands;
class OrderMailCommands;
class ContactCommands;

// The one window of the program. It holds the menus, the five panels, the title clock and the
// status bar, and decides which panel shows; each panel does its own work.
class Gestione : public QMainWindow {
    Q_OBJECT
public:
    explicit Gestione(AppContext& ctx, QWidget* parent = nullptr);
    ~Gestione() override;

    // Start-up: hides the panels, opens the shared connection and starts the clock. A file that
    // cannot be used is told in a critical box; the program must then end.
    Status Form_Load();

    CustomerPanel* Frame1;
    ArticlePanel* Frame2;
    OrderPanel* Frame3;
    // "Invia ordine…" for the order chosen in "Stampa Ordine".
    OrderMailCommands* mailCommands = nullptr;
    // "Scheda cliente…" and "Mandanti…": where the orders are sent.
    ContactCommands* contactCommands = nullptr;
    YearPanel* Frame7;
    AgentPanel* Frame8;
    StatusBar* StatusBar1;
    QTimer* Timer1;
    // The search window "Cerca" and what the order panel shows beside its own elements.
    SearchWindow* Cerca;
    // The window "Statistiche", made at its first use.
    StatsWindow* Statistiche = nullptr;
    OrderTotalsLine* TotaliOrdine;
    LastPrice* UltimoPrezzo;

    // Menu commands.
    void Chiudi_Click();
    void CNuovo_Click();
    void CAggiorna_Click();
    void CElimina_Click();
    void StampaClienti_Click();
    void ANuovo_Click();
    void AAggiorna_Click();
    void AElimina_Click();
    void StampaArticolo_Click();
    // "Importa listino…" and "Annulla ultimo listino": a principal's price list in, and out.
    void ImportaListino_Click();
    void AnnullaListino_Click();
    void Nordine_Click();
    void Aordine_Click();
    void Eordine_Click();
    void StampaOrdine_Click();
    void MUtente_Click();
    void PrimiPassi_Click();
    void Guida_Click();
    // "Nome dell'agente…": the agent's name and address, behind the access code.
    void NomeAgente_Click();
    void MCerca_Click();
    // "Statistiche" (Ctrl+T).
    void MStatistiche_Click();

    // Opens the order `number` of `year` in the order panel for update, as a click on it in the
    // year's listing does; the search window steps aside.
    void ApriOrdine(const QString& year, const QString& number);
    // "Copia di sicurezza…" and "Ripristina da copia…", with the automatic copies.
    BackupCommands& backups() { return *m_backups; }
    // The lock after minutes without use.
    IdleLock& idleLock() { return *m_idle; }

    void Timer1_Timer();
    void AggiornaTitolo();
    void ChiudiApplicazione();

    // The zoom of the window ("Visualizza").
    WindowZoom& zoom() { return *m_zoom; }
    // Shows the window as it was left: maximised or not.
    void showAsLeft();

    // True once "Chiudi" was answered Yes.
    bool ending() const { return m_ending; }

protected:
    void closeEvent(QCloseEvent* e) override; // Form_QueryUnload
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void buildMenus();
    QAction* command(QMenu* menu, const char* name, const QString& caption,
                     void (Gestione::*handler)());
    void showCustomers();
    void showArticles();
    void openYearPanel(int command);
    // After the file was replaced: the lists showing are filled again, the order panels closed.
    void refreshPanels();
    // The article lists shown, filled again after a price list changed the catalogue.
    void refreshCatalogue();

    AppContext& ctx;
    std::unique_ptr<BackupCommands> m_backups;
    std::unique_ptr<PasswordCommands> m_passwords;
    IdleLock* m_idle = nullptr;
    WindowZoom* m_zoom = nullptr;
    // "Sincronizza" with the agency's server.
    std::unique_ptr<SyncCommands> m_sync;
    bool m_ending = false;
    bool m_centred = false;
    FirstSteps* m_firstSteps = nullptr;
    UserGuide* m_guide = nullptr;
};
