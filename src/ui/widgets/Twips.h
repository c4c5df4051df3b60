#pragma once

#include <QFont>
#include <QRect>

class QWidget;

// Positions and sizes are given in twips (1/1440 inch): 15 to a pixel at 96 DPI, scaled with
// the screen's DPI.
namespace twips {

double pixelsPerTwip();
int px(int twips);
// The same inside the window that holds `in`, at that window's zoom.
int px(const QWidget* in, int twips);
QRect rect(int left, int top, int width, int height);
void place(QWidget* w, int left, int top, int width, int height);
// Arial in the given point size (fontconfig substitutes Liberation Sans where Arial is missing).
QFont arial(double points, bool bold = false);

} // namespace twips
