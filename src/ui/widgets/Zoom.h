#pragma once

class QWidget;

// The window's zoom: every position, size and font of its layout is the one at 100 % times the
// zoom, each length rounded to the nearest pixel on its own.
namespace zoom {

// The steps offered, in percent.
inline constexpr int kSmallest = 100;
inline constexpr int kLargest = 200;
inline constexpr int kStep = 10;

// The zoom of the window that holds `w`, in percent (100 outside a zoomed window).
int percentOf(const QWidget* w);
// A length of the 100 % layout at `percent`.
int scaled(int length, int percent);
// The step nearest to `percent` within the offered ones.
int nearestStep(int percent);

// Scales the layout of `window` from its zoom to `percent`: the elements placed inside its
// central widget (and their lists' columns), every font set on a widget of the window, and every
// fixed width or height (the central widget, the status bar and its panels). Child windows keep
// their own layout.
void apply(QWidget* window, int percent);

} // namespace zoom
