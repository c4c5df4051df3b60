#include "ReaderProcess.h"

#include "files/ChildProcess.h"
#include "files/FolderNames.h"

#include <QFile>

#include <optional>

namespace jet::reader {
namespace {

Error damaged() {
    return makeError(QString(), kDamaged);
}

} // namespace

QByteArray program() {
    return QFile::encodeName(folders::programFolder()) + "/gestione-jetread";
}

Status run(const QByteArrayList& args, const Watch& watch, const FrameSink& sink) {
    const QByteArray path = watch.program.isEmpty() ? program() : watch.program;
    frames::Reader reader;
    qint64 sent = 0;
    bool ended = false;
    // Set when the reader is stopped: damage found, or the sink's error.
    std::optional<Status> stop;
    // The reader's own word at its end: nothing, or its refusal.
    Status outcome;
    // Every frame is handed over as it comes; anything else than frames is damage.
    const auto frames = [&](const char* data, qsizetype size) {
        sent += size;
        if (sent > watch.outputBytes) {
            stop = Status(damaged());
            return false;
        }
        reader.feed(data, size);
        frames::Frame f;
        for (;;) {
            const auto next = reader.next(f);
            if (next == frames::Reader::Next::NeedMore)
                return true;
            // Nothing may follow the last frame.
            if (next == frames::Reader::Next::Bad || ended) {
                stop = Status(damaged());
                return false;
            }
            if (f.tag == frames::Tag::End) {
                ended = true;
            } else if (f.tag == frames::Tag::Failure) {
                ended = true;
                const auto text = frames::textOf(f.payload);
                outcome = text && !text->isEmpty() ? Status(makeError(*text)) : Status(damaged());
            } else if (Status s = sink(f); !s) {
                stop = s;
                return false;
            }
        }
    };
    child::StartFailure failure = child::StartFailure::Spawn;
    const std::optional<child::Outcome> done = child::run(
        path, args, child::Watch{watch.quietMs, watch.totalMs, watch.cancel}, frames, &failure);
    if (!done) {
        if (failure == child::StartFailure::Pipe)
            return makeError(QStringLiteral("il programma che legge l'archivio non si può avviare "
                                            "(troppi file aperti?)"));
        return makeError(QStringLiteral("il programma che legge l'archivio (%1) non si può "
                                        "avviare")
                             .arg(QFile::decodeName(path)));
    }
    switch (done->end) {
    case child::Outcome::End::Stopped:
        return *stop;
    case child::Outcome::End::Cancelled:
        return makeError(QStringLiteral("la lettura dell'archivio è stata annullata"));
    case child::Outcome::End::Hung:
    case child::Outcome::End::Broken:
        return damaged();
    case child::Outcome::End::Exited:
        break;
    }
    if (!ended || !reader.empty() || !done->succeeded())
        return damaged();
    return outcome;
}

} // namespace jet::reader
