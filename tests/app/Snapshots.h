#pragma once

// Pictures of the whole state, to show that an action changed nothing: every row of every table
// with each value's type, and every element of every panel as the user sees it.

#include "support/Fixture.h"

#include "app/Gestione.h"
#include "masterdata/AgentPanel.h"
#include "masterdata/ArticlePanel.h"
#include "masterdata/CustomerPanel.h"
#include "orders/OrderPanel.h"
#include "orders/YearPanel.h"
#include "ui/widgets/DateBox.h"
#include "ui/widgets/ReportList.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <sqlite3.h>

namespace snapshots {

// Every row of every table of the file (sqlite_sequence included), each value with its type so
// that NULL, '' and 0 differ. Qt's fatal error on a failing query ends the test, which is what a
// picture of a file that cannot be read should do.
inline QStringList tables(Database& db) {
    QStringList out;
    for (const char* sql :
         {"SELECT * FROM UTENTE ORDER BY rowid;", "SELECT * FROM CLIENTE ORDER BY rowid;",
          "SELECT * FROM ARTICOLO ORDER BY rowid;", "SELECT * FROM ORDINE ORDER BY rowid;",
          "SELECT * FROM ANNO ORDER BY rowid;", "SELECT * FROM sqlite_sequence ORDER BY rowid;"}) {
        auto st = db.prepare(sql);
        if (!st)
            qFatal("%s: %s", sql, qPrintable(st.error().text));
        while (st->next()) {
            QStringList row{QString::fromLatin1(sql).section(QLatin1Char(' '), 3, 3)};
            for (int i = 0; i < st->columnCount(); ++i) {
                switch (st->type(i)) {
                case SQLITE_NULL:
                    row << QStringLiteral("NULL");
                    break;
                case SQLITE_TEXT:
                    row << QLatin1Char('\'') + st->text(i) + QLatin1Char('\'');
                    break;
                default:
                    row << st->text(i);
                }
            }
            out << row.join(QLatin1Char('|'));
        }
        if (!st->status())
            qFatal("%s: %s", sql, qPrintable(st->status().error().text));
    }
    return out;
}

// The name of an element for the picture: its own, or its parent's for the edit field of a
// combo or a date box.
inline QString nameOf(const QWidget* w) {
    QString name = w->objectName();
    if (const QWidget* p = w->parentWidget();
        p && (qobject_cast<const QComboBox*>(p) || qobject_cast<const DateBox*>(p)))
        name = p->objectName() + QLatin1Char('.') + name;
    return name;
}

// Every element of the five panels: texts, captions, ticks, what is shown and every cell of the
// lists.
inline QStringList window(const Gestione& g) {
    QStringList out;
    const QList<QWidget*> panels{g.Frame1, g.Frame2, g.Frame3, g.Frame7, g.Frame8};
    for (QWidget* panel : panels) {
        const QList<QWidget*> all = panel->findChildren<QWidget*>();
        out << panel->objectName() + (panel->isHidden() ? QStringLiteral(" hidden") : QString());
        if (auto* box = qobject_cast<QGroupBox*>(panel))
            out << QStringLiteral("  title ") + box->title();
        for (QWidget* w : all) {
            QString v;
            if (auto* e = qobject_cast<QLineEdit*>(w))
                v = QStringLiteral("text ") + e->text() +
                    (e->isReadOnly() ? QStringLiteral(" ro") : QString());
            else if (auto* t = qobject_cast<QPlainTextEdit*>(w))
                v = QStringLiteral("text ") + t->toPlainText();
            else if (auto* l = qobject_cast<QLabel*>(w))
                v = QStringLiteral("label ") + l->text();
            else if (auto* b = qobject_cast<QAbstractButton*>(w))
                v = QStringLiteral("button ") + b->text() +
                    (b->isChecked() ? QStringLiteral(" ticked") : QString());
            else if (auto* f = qobject_cast<QGroupBox*>(w))
                v = QStringLiteral("frame ") + f->title();
            else if (auto* c = qobject_cast<QComboBox*>(w)) {
                QStringList entries;
                for (int i = 0; i < c->count(); ++i)
                    entries << c->itemText(i);
                v = QStringLiteral("combo ") + entries.join(QLatin1Char('|'));
            } else if (auto* r = qobject_cast<ReportView*>(w)) {
                const ReportModel* m = r->report();
                QStringList cells;
                for (int row = 0; row < m->rows(); ++row)
                    for (int col = 0; col < m->columnCount(); ++col)
                        cells << m->cell(row, col);
                v = QStringLiteral("list %1 columns: ").arg(m->columnCount()) +
                    cells.join(QLatin1Char('|'));
            } else
                continue;
            out << QStringLiteral("  ") + nameOf(w) + QLatin1Char(' ') + v +
                       (w->isHidden() ? QStringLiteral(" hidden") : QString());
        }
    }
    return out;
}

// The lines of two pictures that differ, for a failure message.
inline QString difference(const QStringList& before, const QStringList& after) {
    QStringList out;
    for (const QString& l : before)
        if (!after.contains(l))
            out << QStringLiteral("- ") + l;
    for (const QString& l : after)
        if (!before.contains(l))
            out << QStringLiteral("+ ") + l;
    return out.join(QLatin1Char('\n'));
}

} // namespace snapshots
