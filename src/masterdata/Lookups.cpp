#include "Lookups.h"

#include "data/Database.h"
#include "data/Statement.h"
#include "ui/widgets/PopupClicks.h"

#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

namespace lookups {
namespace {

// What a combo's list was last filled with, and what it was read from.
class FillMemo : public QObject {
public:
    using QObject::QObject;
    Snapshot source;
    QStringList items;
};

FillMemo* memoOf(QComboBox* combo) {
    for (QObject* child : combo->children())
        if (auto* m = dynamic_cast<FillMemo*>(child))
            return m;
    return new FillMemo(combo);
}

// The entries the combo's list holds now.
QStringList listed(QComboBox* combo) {
    if (auto* model = qobject_cast<QStringListModel*>(combo->model()))
        return model->stringList();
    QStringList items;
    items.reserve(combo->count());
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace

void prepare(QComboBox* combo) {
    auto* model = new QStringListModel(combo);
    combo->setModel(model);
    // A list view with rows of one height scrolls through 100k entries without measuring them.
    auto* view = new QListView(combo);
    view->setUniformItemSizes(true);
    view->setLayoutMode(QListView::Batched);
    combo->setView(view);
    // Suggestions drop down under the typed text and never extend it by themselves: leaving the
    // field keeps what was typed, so a new town is not turned into a stored one by accident.
    if (QCompleter* c = combo->completer()) {
        c->setCaseSensitivity(Qt::CaseInsensitive);
        c->setCompletionMode(QCompleter::PopupCompletion);
        c->setFilterMode(Qt::MatchStartsWith);
        c->setMaxVisibleItems(12);
        // The suggestions of one keystroke can be tens of thousands of names: rows of one
        // height let the popup show them without measuring each.
        if (auto* popup = qobject_cast<QListView*>(c->popup())) {
            popup->setUniformItemSizes(true);
            popup->setLayoutMode(QListView::Batched);
        }
        passOutsideClicks(c);
    }
}

Status fill(QComboBox* combo, Database& db, const char* sql) {
    QStringList items;
    Status result;
    FillMemo* memo = memoOf(combo);
    // The list is read again only when the tables it comes from may have changed since, or
    // the combo no longer holds what was read.
    bool reuse = false;
    if (auto st = db.prepare(sql)) {
        Snapshot source = st->snapshot();
        reuse = source == memo->source && listed(combo) == memo->items;
        if (!reuse) {
            memo->source = Snapshot();
            memo->items.clear();
            while (st->next())
                if (const std::optional<std::string_view> v = st->utf8OrNull(0))
                    items << QString::fromUtf8(v->data(), qsizetype(v->size()));
            result = st->status();
            if (result) {
                memo->source = std::move(source);
                memo->items = items;
            }
        }
    } else {
        result = st.error();
        memo->source = Snapshot();
        memo->items.clear();
    }
    const QString typed = combo->currentText();
    const bool blocked = combo->blockSignals(true);
    if (!reuse) {
        if (auto* model = qobject_cast<QStringListModel*>(combo->model())) {
            model->setStringList(items);
        } else {
            combo->clear();
            combo->addItems(items);
        }
    }
    combo->setCurrentIndex(-1);
    combo->blockSignals(blocked);
    if (combo->isEditable() && combo->currentText() != typed)
        combo->setEditText(typed);
    return result;
}

} // namespace lookups
