#include "InputRules.h"

#include "text/ItalianText.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>

QString CtrNumD(double dblNumD) {
    return itext::formatGrouped2(dblNumD);
}

namespace inputrules {
namespace {

class NumericKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() != QEvent::KeyPress)
            return false;
        auto* k = static_cast<QKeyEvent*>(e);
        const QString t = k->text();
        switch (k->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
            return false;
        default:
            break;
        }
        if (t.isEmpty())
            return false; // cursor and function keys carry no character
        if (t == QLatin1String(".")) {
            QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, k->modifiers(), QStringLiteral(","));
            QCoreApplication::sendEvent(obj, &comma);
            return true;
        }
        if (t.size() == 1) {
            const QChar c = t.front();
            if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char(',') ||
                c == QLatin1Char('-'))
                return false;
        }
        if (auto* w = qobject_cast<QWidget*>(obj))
            w->setFocus();
        return true;
    }
};

class LeaveFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() == QEvent::FocusOut) {
            auto* field = static_cast<QLineEdit*>(obj);
            const QString t = field->text();
            if (!t.isEmpty()) {
                if (const auto v = itext::parseNumber(t))
                    field->setText(CtrNumD(*v));
            }
        }
        return false;
    }
};

} // namespace

namespace {

QString settledUpper(const QString& text) {
    QString up = text.toUpper();
    // A few letters have an upper-case form whose own upper case differs again; settle here so
    // the field's change handler never runs more than once more.
    for (int i = 0; i < 4; ++i) {
        QString again = up.toUpper();
        if (again == up)
            break;
        up = std::move(again);
    }
    return up;
}

} // namespace

Upper upperCased(const QString& text, int caret) {
    const QString up = settledUpper(text);
    // The caret stays after the same letters. A letter whose upper case is longer (ß gives SS,
    // the ligature ﬁ gives FI) pushes it on: left where it was, it would fall inside that form
    // and the next key would land between its letters ("straße" typed would read STRASES).
    const int at = qBound(0, caret, int(text.size()));
    const int moved = up.size() == text.size() ? at : int(settledUpper(text.left(at)).size());
    return {up, qBound(0, moved, int(up.size()))};
}

void upperCase(QLineEdit* field) {
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        const Upper u = upperCased(text, field->cursorPosition());
        if (u.text == text)
            return;
        field->setText(u.text);
        field->setCursorPosition(u.caret);
    });
}

void upperCase(QComboBox* combo) {
    if (QLineEdit* e = combo->lineEdit())
        upperCase(e);
}

void upperCase(QPlainTextEdit* field) {
    QObject::connect(field, &QPlainTextEdit::textChanged, field, [field]() {
        const QString text = field->toPlainText();
        const Upper u = upperCased(text, field->textCursor().position());
        if (u.text == text)
            return;
        field->setPlainText(u.text);
        QTextCursor c = field->textCursor();
        c.setPosition(u.caret);
        field->setTextCursor(c);
    });
}

void numericKeys(QLineEdit* field) {
    field->installEventFilter(new NumericKeyFilter(field));
}

void priceOnLeave(QLineEdit* field) {
    field->installEventFilter(new LeaveFilter(field));
}

} // namespace inputrules
