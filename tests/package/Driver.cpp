// Loaded into the installed program (LD_PRELOAD) to use it as a user would, by the names of its
// elements: answers every box (Yes where there is one, else OK) and notes it, fills the
// "Dati dell'agente" dialog from GESTIONE_DRIVER_AGENT (or puts it off when that is empty),
// inserts one customer, and ends the program through "Chiudi". What it saw goes to the file named
// by GESTIONE_DRIVER_LOG, one line a box, then "FINE" or what went wrong.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <functional>

namespace {

QFile& log() {
    static QFile f(QFile::decodeName(qgetenv("GESTIONE_DRIVER_LOG")));
    if (!f.isOpen())
        (void)f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    return f;
}

void note(const QString& line) {
    QString text = line;
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    log().write(text.toUtf8() + '\n');
}

QWidget* window() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("Gestione") && w->isVisible())
            return w;
    return nullptr;
}

QMessageBox* openBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

QDialog* agentDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w);
            d && d->isVisible() && d->objectName() == QLatin1String("DatiAgente"))
            return d;
    return nullptr;
}

void later(const std::function<void()>& f) {
    QTimer::singleShot(0, qApp, f);
}

class Driver : public QObject {
public:
    Driver() : QObject(qApp) {
        connect(&m_tick, &QTimer::timeout, this, [this] { tick(); });
        m_tick.start(50);
        QTimer::singleShot(30000, this, [] {
            note(QStringLiteral("TEMPO SCADUTO"));
            std::_Exit(3);
        });
    }

private:
    void tick() {
        if (QMessageBox* box = openBox()) {
            if (box == m_answered)
                return;
            m_answered = box;
            ++m_boxes;
            note(QStringLiteral("BOX|%1|%2").arg(box->windowTitle(), box->text()));
            QAbstractButton* answer = box->button(QMessageBox::Yes);
            if (!answer)
                answer = box->button(QMessageBox::Ok);
            QPointer<QAbstractButton> b(answer);
            later([b] {
                if (b)
                    b->click();
            });
            return;
        }
        if (QDialog* d = agentDialog()) {
            if (d == m_agent)
                return;
            m_agent = d;
            note(QStringLiteral("DIALOGO|%1|%2")
                     .arg(d->windowTitle(),
                          d->findChild<QLabel*>(QStringLiteral("TestoAgente"))->text()));
            const QString given = QString::fromUtf8(qgetenv("GESTIONE_DRIVER_AGENT"));
            QPointer<QDialog> p(d);
            later([p, given] {
                if (!p)
                    return;
                if (given.isEmpty()) {
                    p->findChild<QPushButton*>(QStringLiteral("AnnullaAgente"))->click();
                    return;
                }
                const QStringList a = given.split(QLatin1Char('|'));
                const char* fields[] = {"NomeAgente", "ViaAgente", "CapAgente", "CittaAgente",
                                        "PrAgente"};
                for (int i = 0; i < 5; ++i)
                    p->findChild<QLineEdit*>(QLatin1String(fields[i]))->setText(a.value(i));
                p->findChild<QPushButton*>(QStringLiteral("SalvaAgente"))->click();
            });
            return;
        }
        QWidget* w = window();
        if (!w || QApplication::activeModalWidget())
            return;
        if (m_step == 0) {
            m_step = 1;
            m_boxesBefore = m_boxes;
            const QStringList c =
                QString::fromUtf8(qgetenv("GESTIONE_DRIVER_CUSTOMER")).split(QLatin1Char('|'));
            later([w, c] {
                w->findChild<QAction*>(QStringLiteral("CNuovo"))->trigger();
                w->findChild<QLineEdit*>(QStringLiteral("T1"))->setText(c.value(0));
                w->findChild<QLineEdit*>(QStringLiteral("T2"))->setText(c.value(1));
                w->findChild<QComboBox*>(QStringLiteral("Cbo8"))->setEditText(c.value(2));
                w->findChild<QComboBox*>(QStringLiteral("Cbo1"))->setEditText(c.value(3));
                w->findChild<QPushButton*>(QStringLiteral("Cmd1"))->click();
            });
        } else if (m_step == 1 && m_boxes >= m_boxesBefore + 2) {
            // The question and the report of the insert have been answered.
            m_step = 2;
            note(QStringLiteral("FINE"));
            later([w] { w->findChild<QAction*>(QStringLiteral("Chiudi"))->trigger(); });
        }
    }

    QTimer m_tick;
    QPointer<QMessageBox> m_answered;
    QPointer<QDialog> m_agent;
    int m_boxes = 0;
    int m_boxesBefore = 0;
    int m_step = 0;
};

void startDriver() {
    // The program's own start-up comes first; the driver begins with its event loop.
    QTimer::singleShot(0, qApp, [] {
        if (qobject_cast<QApplication*>(qApp))
            new Driver;
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriver)
