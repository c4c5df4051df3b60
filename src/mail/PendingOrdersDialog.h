#pragma once

#include "MailSettings.h"
#include "SendRecord.h"

#include <QDialog>

#include <optional>
#include <utility>

class OrderMailCommands;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

// "Ordini da inviare": the orders of a period never sent, newest first, checked to be sent one
// after another; apart, the orders whose sending is uncertain (the server may have received
// them), which are never sent on their own: the agent marks one as sent or sends it again.
class PendingOrdersDialog : public QDialog {
    Q_OBJECT
public:
    PendingOrdersDialog(OrderMailCommands& commands, const mail::settings::Settings& settings,
                        QWidget* parent = nullptr);

    QComboBox* DaInviarePeriodo;
    QTreeWidget* DaInviareLista;
    QTreeWidget* DaInviareIncerti;
    QLabel* DaInviareNota;
    QPushButton* DaInviareInvia;
    QPushButton* DaInviareSegna;
    QPushButton* DaInviareDiNuovo;
    QPushButton* DaInviareChiudi;

    // Reads the lists again for the period chosen.
    void Carica();
    // The checked orders sent one after another; the first that does not go stops the round.
    void Invia_Click();
    // The uncertain order chosen: marked as received, or sent again.
    void Segna_Click();
    void DiNuovo_Click();

    // The first and last order date of a choice of the period; none for "Tutti".
    static std::pair<std::optional<QDate>, std::optional<QDate>> period(int choice,
                                                                        const QDate& today);

private:
    // The year and number of the uncertain order chosen, told in a box when none is.
    std::optional<std::pair<QString, QString>> chosenUncertain();

    OrderMailCommands& m_commands;
    mail::settings::Settings m_settings;
};
