#include "OffThread.h"

#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <memory>

namespace offthread {
namespace {

// Ends a round of the waiting whenever the box shows or hides, so that the next round lets the
// user's input through or keeps it out as the box now is.
class BoxWatch : public QObject {
public:
    explicit BoxWatch(QEventLoop& loop) : m_loop(loop) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            m_loop.quit();
        return false;
    }

private:
    QEventLoop& m_loop;
};

} // namespace

void run(const std::function<void()>& work, QWidget* box, const std::function<void()>& meanwhile) {
    std::unique_ptr<QThread> thread(QThread::create(work));
    QEventLoop loop;
    bool finished = false;
    QObject::connect(thread.get(), &QThread::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    const QPointer<QWidget> watched(box);
    BoxWatch watch(loop);
    if (watched)
        watched->installEventFilter(&watch);
    thread->start();
    if (meanwhile)
        meanwhile();
    while (!finished)
        loop.exec(watched && watched->isVisible() ? QEventLoop::AllEvents
                                                  : QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    if (watched)
        watched->removeEventFilter(&watch);
}

} // namespace offthread
