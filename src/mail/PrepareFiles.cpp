#include "PrepareFiles.h"

#include "sheets/OrderData.h"

#include <QEventLoop>
#include <QThread>

#include <memory>

Status attachFilesOffThread(mail::ordermail::Draft& draft, const sheets::order::OrderData& data) {
    struct Shared {
        mail::ordermail::Draft draft;
        sheets::order::OrderData data;
        Status result;
    };
    auto shared = std::make_shared<Shared>(Shared{draft, data, {}});
    QThread* thread = QThread::create(
        [shared] { shared->result = mail::ordermail::attachFiles(shared->draft, shared->data); });
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    delete thread;
    if (shared->result)
        draft.message.attachments = shared->draft.message.attachments;
    return shared->result;
}
