#include "PrepareFiles.h"

#include "sheets/OrderData.h"
#include "ui/OffThread.h"

Status attachFilesOffThread(mail::ordermail::Draft& draft, const sheets::order::OrderData& data) {
    // The files are attached to a copy: the draft takes them only when the writing succeeded.
    mail::ordermail::Draft work = draft;
    Status result;
    offthread::run([&] { result = mail::ordermail::attachFiles(work, data); });
    if (result)
        draft.message.attachments = work.message.attachments;
    return result;
}
