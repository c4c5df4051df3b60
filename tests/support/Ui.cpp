#include "Ui.h"

#include "ui/widgets/ReportList.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTest>

namespace ui {
namespace {

QWidget* target(QWidget* w) {
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->lineEdit() ? static_cast<QWidget*>(c->lineEdit()) : w;
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->viewport() ? static_cast<QWidget*>(p) : w;
    if (QWidget* proxy = w->focusProxy())
        return proxy;
    return w;
}

} // namespace

void type(QWidget* w, const QString& text) {
    QWidget* t = target(w);
    t->setFocus();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u == '\n') {
            QTest::keyClick(t, Qt::Key_Return);
        } else if (u < 0x80 && u >= 0x20) {
            QTest::keyClick(t, char(u));
        } else {
            // A character beyond the first plane (an emoji) comes as one key event carrying
            // both of its halves, as an input method sends it.
            const qsizetype n =
                text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
                    ? 2
                    : 1;
            const QString ch = text.mid(i, n);
            i += n - 1;
            QTest::sendKeyEvent(QTest::Press, t, Qt::Key_unknown, ch, Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, t, Qt::Key_unknown, ch, Qt::NoModifier);
        }
    }
}

void retype(QWidget* w, const QString& text) {
    QWidget* t = target(w);
    t->setFocus();
    QTest::keyClick(t, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(t, Qt::Key_Delete);
    if (auto* e = qobject_cast<QLineEdit*>(t))
        e->clear();
    type(w, text);
}

void click(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton);
}

void click(QLabel* label) {
    QTest::mouseClick(label, Qt::LeftButton);
}

void clickRow(ReportView* list, int row) {
    list->scrollTo(list->model()->index(row, 0));
    const QRect r = list->rowRect(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
}

QStringList items(QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

int rowOf(ReportView* list, int column, const QString& text) {
    for (int r = 0; r < list->report()->rows(); ++r)
        if (list->report()->cell(r, column) == text)
            return r;
    return -1;
}

bool choose(QComboBox* combo, const QString& text) {
    const int i = combo->findText(text, Qt::MatchExactly);
    if (i < 0)
        return false;
    combo->setCurrentIndex(i);
    Q_EMIT combo->activated(i);
    Q_EMIT combo->textActivated(combo->itemText(i));
    return true;
}

void menu(QMainWindow* window, const char* action) {
    auto* a = window->findChild<QAction*>(QLatin1String(action));
    if (!a)
        qFatal("no menu command %s", action);
    a->trigger();
}

void leave(QWidget* w, QWidget* next) {
    target(w)->setFocus();
    target(next)->setFocus();
    QApplication::processEvents();
}

} // namespace ui
