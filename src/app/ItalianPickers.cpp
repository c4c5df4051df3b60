#include "ItalianPickers.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTranslator>
#include <QTreeView>

#include <cstring>

namespace {

// The kinds of entry the pickers list; the toolkit's Italian translation names them in English.
class MissingWords : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        (void)disambiguation;
        (void)n;
        if (!context || !source || std::strcmp(context, "QAbstractFileIconProvider") != 0)
            return QString();
        static const struct {
            const char* english;
            const char* italian;
        } kWords[] = {
            {"Folder", "Cartella"},    {"File Folder", "Cartella"},
            {"Drive", "Unità"},        {"Shortcut", "Collegamento"},
            {"Alias", "Collegamento"}, {"%1 File", "File %1"},
            {"File", "File"},
        };
        for (const auto& w : kWords)
            if (std::strcmp(source, w.english) == 0)
                return QString::fromUtf8(w.italian);
        return QString();
    }
};

// Each column of the picker's detailed list at least as wide as its heading and its contents.
void widenColumns(QTreeView* list) {
    QHeaderView* header = list->header();
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c))
            continue;
        int need = header->sectionSizeHint(c);
        // The name column is wide already and its names may be long; the others are short.
        if (c > 0)
            need = qMax(need, static_cast<QAbstractItemView*>(list)->sizeHintForColumn(c));
        if (header->sectionSize(c) < need)
            header->resizeSection(c, need);
    }
}

class PickerWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() == QEvent::Show)
            if (auto* picker = qobject_cast<QFileDialog*>(obj))
                fit(picker);
        return QObject::eventFilter(obj, e);
    }

private:
    static void fit(QFileDialog* picker) {
        auto* list = picker->findChild<QTreeView*>(QStringLiteral("treeView"));
        if (!list)
            return;
        widenColumns(list);
        if (picker->property("gestionePickerWatched").toBool())
            return;
        picker->setProperty("gestionePickerWatched", true);
        // The entries come in after the picker shows, folder by folder.
        if (auto* files = picker->findChild<QFileSystemModel*>())
            QObject::connect(files, &QFileSystemModel::directoryLoaded, list,
                             [list](const QString&) { widenColumns(list); });
    }
};

} // namespace

void makePickersItalian(QCoreApplication& app) {
    QCoreApplication::installTranslator(new MissingWords(&app));
    app.installEventFilter(new PickerWatch(&app));
}
