#include "Lookups.h"

#include "data/Database.h"

#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

namespace lookups {

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
    }
}

Status fill(QComboBox* combo, Database& db, const char* sql) {
    QStringList items;
    Status result;
    if (auto st = db.prepare(sql)) {
        while (st->next())
            if (const std::optional<std::string_view> v = st->utf8OrNull(0))
                items << QString::fromUtf8(v->data(), qsizetype(v->size()));
        result = st->status();
    } else {
        result = st.error();
    }
    const QString typed = combo->currentText();
    const bool blocked = combo->blockSignals(true);
    if (auto* model = qobject_cast<QStringListModel*>(combo->model())) {
        model->setStringList(items);
    } else {
        combo->clear();
        combo->addItems(items);
    }
    combo->setCurrentIndex(-1);
    combo->blockSignals(blocked);
    if (combo->isEditable() && combo->currentText() != typed)
        combo->setEditText(typed);
    return result;
}

} // namespace lookups
