#pragma once

#include "ScriptedDialogs.h"
#include "ScriptedKeyring.h"
#include "ui/AppContext.h"
#include "ui/Clock.h"
#include "ui/FileOpener.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class Gestione;

class FixedClock : public Clock {
public:
    QDateTime now() const override { return time; }
    QDateTime time = QDateTime(QDate(2026, 12, 8), QTime(10, 30, 15));
};

class RecordingOpener : public FileOpener {
public:
    Status open(const QString& path) override {
        opened << path;
        return result ? Status{} : Status{makeError(cause)};
    }
    QStringList opened;
    bool result = true;
    // Why nothing opened the file, when result is false.
    QString cause;
};

// The year the fixture files are made around (the tests' "today" is in it).
inline constexpr int kFixtureYear = 2026;

// A temporary application directory holding a fresh copy of a database made by the tool:
// the plain supplied file (years 2023 to 2029, the agent "AGENTE"), or the demo file.
class TestDir {
public:
    enum class Content { Supplied, Demo, None };
    explicit TestDir(Content content = Content::Supplied);

    QString path() const { return m_dir.path(); }
    QString dbPath() const;
    // A connection of the test's own, next to the program's.
    std::unique_ptr<Database> open() const;

private:
    QTemporaryDir m_dir;
};

// The window on a fresh database, with scripted boxes and keyring, a fixed clock and a recording
// opener.
// The window has run its start-up and is shown.
class App {
public:
    explicit App(TestDir::Content content = TestDir::Content::Supplied, bool show = true);
    // The same, with `beforeStart` run on the folder and the clock before the window starts.
    App(TestDir::Content content, const std::function<void(App&)>& beforeStart, bool show = true);
    ~App();

    TestDir dir;
    ScriptedDialogs dialogs;
    FixedClock clock;
    RecordingOpener opener;
    // The desktop's keyring, open unless the test says otherwise before the start.
    ScriptedKeyring keyring;
    AppContext ctx;
    std::unique_ptr<Gestione> window;
    Status started;

    Database& db() { return ctx.db(); }
    template <class T = QWidget> T* find(const char* name) const;
};

// Every row of a query, each value as the engine gives it in text ("" for NULL).
QList<QStringList> rows(Database& db, const char* sql);
// The single value of a query.
QString value(Database& db, const char* sql);
// Runs fixed statements on a test's database.
void exec(Database& db, const char* sql);
// The project's source folder: as the test runner sets it, else where the tests were built from.
QString sourceDir();

#include "app/Gestione.h"

template <class T> T* App::find(const char* name) const {
    return window->findChild<T*>(QLatin1String(name));
}
