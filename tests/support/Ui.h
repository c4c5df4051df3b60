#pragma once

#include <QString>
#include <QStringList>

class QWidget;
class QComboBox;
class QAbstractButton;
class QLabel;
class QMainWindow;
class ReportView;

// Driving the window as a user does.
namespace ui {

// Types the text key by key into the widget (for a combo, into its edit field); characters
// beyond ASCII go as key events that carry just their text.
void type(QWidget* w, const QString& text);
// Replaces the field's content by typing: selects all, deletes, types.
void retype(QWidget* w, const QString& text);
void click(QAbstractButton* b);
void click(QLabel* label);
// Clicks a row of a list (selects it and reports the click).
void clickRow(ReportView* list, int row);
// Picks the entry with that text from the combo's list, as a user choosing it.
bool choose(QComboBox* combo, const QString& text);
// The entries of the combo's list, in order.
QStringList items(QComboBox* combo);
// The first row of the list whose cell in that column shows the text; -1 when none does.
int rowOf(ReportView* list, int column, const QString& text);
// Triggers the menu command with that object name.
void menu(QMainWindow* window, const char* action);
// Moves the focus away from the widget to another (the leave handlers run).
void leave(QWidget* w, QWidget* next);

} // namespace ui
