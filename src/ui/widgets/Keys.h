#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class QWidget;
class Dialogs;

// What the keyboard reaches in a panel.
namespace keys {

// Escape anywhere in the panel does what its close command does. An open suggestion list is
// closed first, and only the next Escape reaches the panel.
void escapeCloses(QWidget* panel, std::function<void()> close);

// The same for a panel where the user types work: when something was typed since the last
// write to the database (`writes` counts them), Escape asks before the panel closes, with No
// as the default answer.
void escapeClosesAsking(QWidget* panel, Dialogs& dialogs, std::function<std::int64_t()> writes,
                        std::function<void()> close);

// The question Escape asks when typed work would be lost.
QString unsavedQuestion();

// While `cover` is shown, the panel's elements that lie wholly behind it are out of the Tab
// chain: Tab and Shift+Tab visit only what the user sees. They come back when it moves away or
// hides.
void skipCovered(QWidget* panel, QWidget* cover);

} // namespace keys
