#include "InputRules.h"

#include "data/ItalianText.h"

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

void upperCase(QLineEdit* field) {
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        const QString up = text.toUpper();
        if (up == text)
            return;
        const int caret = field->cursorPosition();
        field->setText(up);
        field->setCursorPosition(qMin(caret, int(up.size())));
    });
}

void upperCase(QComboBox* combo) {
    if (QLineEdit* e = combo->lineEdit())
        upperCase(e);
}

void upperCase(QPlainTextEdit* field) {
    QObject::connect(field, &QPlainTextEdit::textChanged, field, [field]() {
        const QString text = field->toPlainText();
        const QString up = text.toUpper();
        if (up == text)
            return;
        const int caret = field->textCursor().position();
        field->setPlainText(up);
        QTextCursor c = field->textCursor();
        c.setPosition(qMin(caret, int(up.size())));
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
