#pragma once

#include <QObject>
#include <QSize>

#include <functional>

class QAction;
class QMainWindow;
class QMenuBar;

// The zoom of the main window: the "Visualizza" menu with Ctrl+Plus, Ctrl+Minus and Ctrl+0
// from 100 % to 200 % by 10 %, the largest step that fits when the window is maximised, and the
// choice kept for the next run.
class WindowZoom : public QObject {
    Q_OBJECT
public:
    // `tell` shows a failure to keep the choice.
    WindowZoom(QMainWindow* window, std::function<void(const QString&)> tell);

    // Adds the menu before the menu bar's `before` entry (at the end without one).
    void addMenu(QMenuBar* bar, QAction* before);
    // The zoom kept from the last run. The window's layout must be complete and at 100 %: its
    // size then is the one every zoom scales.
    void applyKept();
    // Whether the window was maximised when the program last ended.
    bool keptMaximised() const { return m_keptMaximised; }

    void Ingrandisci_Click();
    void Riduci_Click();
    void DimensioneNormale_Click();

    // The window was maximised, given back its size, or resized: follows it.
    void follow();

    int percent() const;
    // The largest step at which a window of `size100` at 100 % fits in `room`; 100 when none.
    static int fitting(QSize size100, QSize room);

private:
    void choose(int percent);
    void show(int percent);
    void recentre();
    void resizeInPlace();
    QSize needed() const;
    void updateActions();
    void keep();
    bool maximised() const;

    QMainWindow* m_window;
    std::function<void(const QString&)> m_tell;
    QSize m_size100;
    QSize m_need;
    int m_chosen = 100;
    bool m_fitted = false;
    bool m_keptMaximised = false;
    bool m_following = false;
    QSize m_fittedTo;
    QAction* m_in = nullptr;
    QAction* m_out = nullptr;
    QAction* m_normal = nullptr;
};
