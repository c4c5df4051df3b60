#pragma once

#include <QString>

class QLineEdit;
class QComboBox;
class QPlainTextEdit;
class QWidget;

// The rules applied while the user types, shared by the entry fields of every panel.
namespace inputrules {

// The upper-case form of a text and where a caret at `caret` goes in it: the same position,
// within the new text. Applying it to its own result changes nothing.
struct Upper {
    QString text;
    int caret;
};
Upper upperCased(const QString& text, int caret);

// The text of the field turns upper case on every change, typed, pasted or set by the program;
// the caret stays where it was.
void upperCase(QLineEdit* field);
void upperCase(QComboBox* combo);
void upperCase(QPlainTextEdit* field);

// Only digits, the comma and the minus sign reach the field; the full-stop key types a comma.
// Backspace passes; every other character key, Enter and the clipboard shortcuts included, is
// dropped. Text pasted through the context menu is not looked at.
void numericKeys(QLineEdit* field);

// The price field: on leaving, a number is rewritten with CtrNumD; any other text stays.
void priceOnLeave(QLineEdit* field);

} // namespace inputrules

// The number with the pattern "#,0.00": "1.500,00", "0,50", "-3,00".
QString CtrNumD(double dblNumD);
