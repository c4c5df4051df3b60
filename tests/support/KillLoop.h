#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <functional>

// Kills at random moments of a child's work: this test program started again with `args`, its
// work one round after another, a line of its output at the end of each. The first child, let run
// to its first line, sets the span the moments are drawn from, however slow the build or loaded
// the machine; then each child is killed somewhere in it and `check` looks at what it left.
namespace killloop {

struct Done {
    int kills = 0;
    // Rounds the children said they ended.
    int rounds = 0;
};

inline Done run(const QStringList& args, int minimumMs, int minimumKills,
                const std::function<void()>& check) {
    Done done;
    auto start = [&](QProcess& p) {
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(), args);
        if (!p.waitForStarted())
            qFatal("the child did not start");
    };
    QElapsedTimer clock;
    clock.start();
    int span = 0;
    {
        QProcess p;
        start(p);
        while (!p.canReadLine() && p.waitForReadyRead(60000)) {
        }
        if (!p.canReadLine())
            qFatal("the child ended no round");
        span = int(clock.elapsed());
        ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished(10000);
    }
    clock.restart();
    while ((clock.elapsed() < minimumMs || done.kills < minimumKills) && clock.elapsed() < 120000) {
        QProcess p;
        start(p);
        QTest::qWait(int(QRandomGenerator::global()->bounded(20, 20 + span * 3 / 2)));
        if (p.state() == QProcess::Running) {
            ::kill(pid_t(p.processId()), SIGKILL);
            ++done.kills;
        }
        if (!p.waitForFinished(10000))
            qFatal("the child did not end");
        const QByteArray said = p.readAllStandardOutput();
        if (p.exitStatus() != QProcess::CrashExit)
            qFatal("the child ended by itself: %s", said.constData());
        done.rounds += int(said.count('\n'));
        check();
        if (QTest::currentTestFailed())
            break;
    }
    return done;
}

} // namespace killloop
