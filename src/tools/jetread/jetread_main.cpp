// gestione-jetread: reads an archive of the earlier program (a Jet file) for Gestione Ordini, in
// a process of its own. libmdb trusts the file: on a damaged one it may crash, loop for good or
// print warnings without end; here that costs only this process, which the program watches (a
// time limit, its output bounded) and whose memory is limited.
//
//   gestione-jetread tabelle FILE         the user tables
//   gestione-jetread colonne FILE TABLE   the columns of a table
//   gestione-jetread righe FILE TABLE     the rows of a table
//
// What is read goes to the standard output as frames (see Frames.h), ending with an end frame
// or a refusal in words; anything else the library prints goes to the standard error.

#include "MdbReader.h"
#include "files/ChildLimits.h"
#include "files/FileInPlace.h"
#include "oldarchive/jet/Frames.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Far beyond what reading a table needs: libmdb keeps one page and one row at a time.
constexpr rlim_t kMemoryBytes = rlim_t(1) << 30;
constexpr rlim_t kCpuSeconds = 600;

int g_out = -1;

bool send(jet::frames::Tag tag, const QByteArray& payload = {}) {
    return inplace::writeAll(g_out, jet::frames::frame(tag, payload)) == 0;
}

int refuse(const Error& e) {
    return send(jet::frames::Tag::Failure, jet::frames::ofText(e.text)) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    limitReader(kMemoryBytes, kCpuSeconds);
    // The frames get a descriptor of their own; whatever the library prints, even on the
    // standard output, goes with its warnings.
    g_out = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (g_out < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;
    using jet::frames::Tag;
    const QByteArray mode = argc > 2 ? QByteArray(argv[1]) : QByteArray();
    const bool ofTable = mode == "colonne" || mode == "righe";
    if (!(mode == "tabelle" || (ofTable && argc == 4)) || (!ofTable && argc != 3)) {
        const char usage[] = "uso: gestione-jetread tabelle|colonne|righe FILE [TABELLA]\n";
        (void)!::write(STDERR_FILENO, usage, sizeof usage - 1);
        return 2;
    }
    auto archive = jet::openMdb(QByteArray(argv[2]));
    if (!archive)
        return refuse(archive.error());
    if (mode == "tabelle") {
        for (const QString& t : (*archive)->tables())
            if (!send(Tag::Table, jet::frames::ofText(t)))
                return 1;
        return send(Tag::End) ? 0 : 1;
    }
    const QString table = QString::fromUtf8(argv[3]);
    if (mode == "colonne") {
        auto columns = (*archive)->columns(table);
        if (!columns)
            return refuse(columns.error());
        for (const jet::Column& c : *columns)
            if (!send(Tag::Column, jet::frames::ofColumn(c)))
                return 1;
        return send(Tag::End) ? 0 : 1;
    }
    const Status read = (*archive)->rows(table, [](const jet::Row& row) -> Status {
        if (!send(Tag::Row, jet::frames::ofRow(row)))
            return makeError(QStringLiteral("il programma ha smesso di leggere"));
        return {};
    });
    if (!read)
        return refuse(read.error());
    return send(Tag::End) ? 0 : 1;
}
