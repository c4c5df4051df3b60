#include "XlsProcess.h"

#include "ImportMessages.h"
#include "XlsStream.h"

#include "files/ChildProcess.h"
#include "files/FolderNames.h"

#include <QFile>

#include <sys/wait.h>

namespace pricelists {

QByteArray xlsReaderProgram() {
    return QFile::encodeName(folders::programFolder()) + "/gestione-leggixls";
}

Result<Workbook> readXlsApart(const QString& path, const ReadLimits& limits,
                              ReadProgress* progress) {
    const QByteArray program = limits.xlsProgram.isEmpty() ? xlsReaderProgram() : limits.xlsProgram;
    xlsstream::Decoder decoder(path, limits);
    // Set when the decoder stops the reader: its message.
    std::optional<Error> refused;
    const child::Watch watch{limits.xlsQuietMs, limits.xlsTotalMs,
                             progress ? &progress->cancel : nullptr};
    const std::optional<child::Outcome> done =
        child::run(program,
                   {QFile::encodeName(path), QByteArray::number(limits.maxRows),
                    QByteArray::number(limits.maxColumns)},
                   watch, [&](const char* data, qsizetype size) {
                       const auto state = decoder.feed(data, size);
                       if (state == xlsstream::Decoder::State::Bad ||
                           state == xlsstream::Decoder::State::TooBig) {
                           refused = decoder.finish().error();
                           return false;
                       }
                       if (progress)
                           progress->percent.store(decoder.percent());
                       return true;
                   });
    if (!done)
        return makeError(msg::xlsReaderMissing(path, QFile::decodeName(program)));
    switch (done->end) {
    case child::Outcome::End::Cancelled:
        return makeError(msg::cancelled());
    case child::Outcome::End::Hung:
        return makeError(msg::damaged(path, msg::xlsHung((done->limitMs + 999) / 1000)));
    case child::Outcome::End::Stopped:
        return *refused;
    case child::Outcome::End::Broken:
        return makeError(msg::damaged(path, msg::xlsStopped()));
    case child::Outcome::End::Exited:
        break;
    }
    // A reader that ends its records and then dies has not read the file as it should.
    if (!done->succeeded() || decoder.state() != xlsstream::Decoder::State::Ended)
        return makeError(msg::damaged(path, msg::xlsStopped()));
    return decoder.finish();
}

} // namespace pricelists
