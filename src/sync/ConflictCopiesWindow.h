#pragma once

#include "ConflictCopies.h"
#include "Pg.h"

#include <QDialog>

#include <functional>

struct AppContext;
class QPushButton;
class QTableWidget;

// "Copie in conflitto": the copies the server keeps of the agent's orders changed on two
// machines. For each, which order, when and on which computer that version was written, and its
// lines; the agent takes the selected copy as the order, or dismisses it.
class ConflictCopiesWindow : public QDialog {
    Q_OBJECT
public:
    // taken runs after a copy became the order in the file.
    ConflictCopiesWindow(AppContext& ctx, const pg::Settings& server, std::function<void()> taken,
                         QWidget* parent = nullptr);
    // Reads the copies again from the server; false (after its box) when they cannot be read.
    bool reload();
    int copies() const { return int(m_copies.size()); }

    void Usa_Click();
    void Scarta_Click();

private:
    void showLines();
    const conflictcopies::Copy* selected() const;
    QString describe(const conflictcopies::Copy& c) const;

    AppContext& ctx;
    pg::Settings m_server;
    std::function<void()> m_taken;
    std::vector<conflictcopies::Copy> m_copies;
    QTableWidget* m_list;
    QTableWidget* m_lines;
    QPushButton* m_take;
    QPushButton* m_dismiss;
};
