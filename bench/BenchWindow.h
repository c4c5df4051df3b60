#pragma once

#include "app/Gestione.h"
#include "ui/AppContext.h"
#include "ui/Clock.h"
#include "ui/Dialogs.h"
#include "ui/FileOpener.h"

#include <QStringList>

#include <memory>

// The program's window on the large file, as the benchmarks drive it: real panels and
// handlers, offscreen. A box is never expected: each one is kept so the run can be refused.
namespace bench {

class QuietDialogs : public Dialogs {
public:
    void message(const QString& text, const QString& title, BoxIcon) override {
        boxes << title + QStringLiteral(": ") + text;
    }
    bool question(const QString& text, const QString& title, BoxIcon, BoxDefault) override {
        boxes << title + QStringLiteral(": ") + text;
        return false;
    }
    std::optional<QString> input(const QString& prompt, const QString& title) override {
        boxes << title + QStringLiteral(": ") + prompt;
        return std::nullopt;
    }
    std::optional<QString> chooseFolder(const QString& title, const QString&) override {
        boxes << title;
        return std::nullopt;
    }
    std::optional<QString> chooseFile(const QString& title, const QString&,
                                      const QString&) override {
        boxes << title;
        return std::nullopt;
    }
    QStringList boxes;
};

class KeepOpener : public FileOpener {
public:
    Status open(const QString& path) override {
        opened << path;
        return {};
    }
    QStringList opened;
};

class BenchWindow {
public:
    // dir holds the large Ordine.mdb.
    explicit BenchWindow(const QString& dir);
    ~BenchWindow();

    bool ok() const { return started && dialogs.boxes.isEmpty(); }
    QString problem() const;
    // ok(), and when not, says why on standard error.
    bool ready() const;

    QuietDialogs dialogs;
    SystemClock clock;
    KeepOpener opener;
    AppContext ctx;
    std::unique_ptr<Gestione> window;
    Status started;
};

// The year of the large file holding the 1000- and 200-line orders and 50k lines.
inline const QString kYear = QStringLiteral("2026");

// A benchmark that cannot go on says why on standard error.
void fail(const QString& what);

// Lets the window handle what is pending (layout, painting) as after a user's action.
void settle();

} // namespace bench
