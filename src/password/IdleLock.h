#pragma once

#include "ui/AppContext.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QEvent;
class QMainWindow;
class QPushButton;
class QWidget;

// The lock after minutes without use, for a file under a personal password. When no key or mouse
// has been used in the program for the minutes set, the window's panels and the program's other
// windows are hidden (the title stays), the menus stop, and the personal password is asked
// again: three wrong tries end the program as at start. Nothing is touched meanwhile: what was
// typed, and where the cursor was, are as before once the password is given. A cancelled box
// leaves the program locked, with a button that asks again.
class IdleLock : public QObject {
    Q_OBJECT
public:
    // `endProgram` ends the program without saving anything (three wrong passwords).
    IdleLock(AppContext& ctx, QMainWindow* window, std::function<void()> endProgram);

    // "Blocco dopo inattività…" of the Archivio menu: the minutes, asked after the personal
    // password.
    void BloccoInattivita_Click();

    // Reads the minutes from the file (at start, and after the file was replaced or re-keyed).
    void reload();
    int minutes() const { return m_minutes; }
    bool locked() const { return m_locked; }

    // Every event seen by the program: key and mouse input counts as use. True when the event
    // must go no further (a shortcut while locked).
    bool filter(QObject* obj, QEvent* e);
    // Locks when the minutes have passed without use; the window's timer calls it.
    void check();
    // Asks the password and, when it is right, shows everything as it was.
    void Sblocca_Click();

    // Milliseconds of a clock that counts the time the machine was suspended and ignores changes
    // of the date and time; tests give their own. Setting it starts the count of idle time anew.
    void setTicks(std::function<qint64()> ticks);

private:
    void lock();
    void unlock();
    // A widget of the window or of a window the lock hid, not of the lock's own cover.
    bool hiddenByTheLock(QObject* obj) const;

    AppContext& ctx;
    QMainWindow* m_window;
    std::function<void()> m_end;
    std::function<qint64()> m_ticks;
    qint64 m_lastUse = 0;
    int m_minutes = 0;
    bool m_locked = false;
    // From the lock to the end of the unlock: the focus events of what is hidden go nowhere.
    bool m_quiet = false;
    int m_wrong = 0;
    QWidget* m_cover = nullptr;
    QPushButton* m_unlock = nullptr;
    QPointer<QWidget> m_focus;
    QList<QPointer<QWidget>> m_hidden;
};
