#pragma once

#include <functional>

class QWidget;

// What the keyboard reaches in a panel.
namespace keys {

// Escape anywhere in the panel does what its close command does.
void escapeCloses(QWidget* panel, std::function<void()> close);

// While `cover` is shown, the panel's elements that lie wholly behind it are out of the Tab
// chain: Tab and Shift+Tab visit only what the user sees. They come back when it moves away or
// hides.
void skipCovered(QWidget* panel, QWidget* cover);

} // namespace keys
