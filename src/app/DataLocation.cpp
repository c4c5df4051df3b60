#include "DataLocation.h"

#include "data/Schema.h"
#include "files/FileInPlace.h"
#include "files/FolderNames.h"
#include "masterdata/AgentStore.h"
#include "sheets/WorkbookFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool present(const QString& path) {
    struct stat st;
    return ::lstat(folders::native(path).constData(), &st) == 0;
}

Error failure(const QString& file, const QString& cause) {
    return makeError(QStringLiteral("Impossibile preparare il database\n%1\n\n%2")
                         .arg(folders::shownNative(file), cause));
}

// Makes the folder and the ones above it that are missing, each owner-only.
Status makeFolder(const QString& folder, const QString& file) {
    QString part;
    if (const int err = folders::makeOwnerOnly(folder, &part))
        return failure(file,
                       QStringLiteral("Impossibile creare la cartella %1: %2")
                           .arg(folders::shownNative(part), sheets::describeSystemError(err)));
    struct stat st;
    if (::stat(folders::native(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return failure(file,
                       QStringLiteral("%1 non è una cartella").arg(folders::shownNative(folder)));
    return {};
}

// Refuses the folder, the file or a journal of the file when another user of the machine could
// change it: that user could swap in a file of their own and the agent's work would go there.
Status keptFromOthers(const QString& folder, const QString& file) {
    const auto check = [&](const QString& path, bool isFolder) -> Status {
        const QString shown = folders::shownNative(path);
        switch (folders::exposure(path)) {
        case folders::Exposure::None:
            return {};
        case folders::Exposure::OtherOwner:
            return failure(file, (isFolder ? QStringLiteral("La cartella \"%1\" appartiene a un "
                                                            "altro utente")
                                           : QStringLiteral("Il file \"%1\" appartiene a un altro "
                                                            "utente"))
                                     .arg(shown));
        case folders::Exposure::OthersWrite:
            return failure(file, (isFolder ? QStringLiteral("La cartella \"%1\" è modificabile "
                                                            "da altri utenti")
                                           : QStringLiteral("Il file \"%1\" è modificabile da "
                                                            "altri utenti"))
                                     .arg(shown));
        }
        return {};
    };
    if (Status s = check(folder, true); !s)
        return s;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        if (Status s = check(file + QLatin1String(suffix), false); !s)
            return s;
    return {};
}

// A descriptor closed on every way out.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Copies the supplied file to a work file beside the target and links it to the target's
// name, so that the file is never seen half copied. False in `copied` when another start made
// the file first.
Status copySupplied(const QString& supplied, const QString& file, bool& copied) {
    copied = false;
    Fd in{::open(folders::native(supplied).constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        return failure(file, errno == ENOENT
                                 ? QStringLiteral("Manca il file vuoto fornito con il "
                                                  "programma:\n%1")
                                       .arg(folders::shownNative(supplied))
                                 : QStringLiteral("Impossibile leggere il file vuoto fornito con "
                                                  "il programma (%1):\n%2")
                                       .arg(sheets::describeSystemError(errno),
                                            folders::shownNative(supplied)));
    QByteArray work = folders::native(file) + ".copia-XXXXXX";
    Fd out{::mkostemp(work.data(), O_CLOEXEC)};
    if (out.fd < 0)
        return failure(file, QStringLiteral("Impossibile scrivere nella cartella %1: %2")
                                 .arg(folders::shownNative(QFileInfo(file).path()),
                                      sheets::describeSystemError(errno)));
    auto fail = [&](int err) {
        ::unlink(work.constData());
        return failure(file, QStringLiteral("Impossibile copiare il file vuoto fornito con il "
                                            "programma (%1)")
                                 .arg(sheets::describeSystemError(err)));
    };
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errno);
        if (n == 0)
            break;
        if (const int err = inplace::writeAll(out.fd, buf, size_t(n)))
            return fail(err);
    }
    if (::fchmod(out.fd, 0600) != 0 || ::fsync(out.fd) != 0)
        return fail(errno);
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (closed != 0)
        return fail(errno);
    if (::link(work.constData(), folders::native(file).constData()) != 0) {
        const int err = errno;
        if (err != EEXIST)
            return fail(err);
    } else {
        copied = true;
    }
    ::unlink(work.constData());
    (void)inplace::flush(folders::native(QFileInfo(file).path()));
    return {};
}

} // namespace

QString DataLocation::shownFile() const {
    return folders::shownNative(file);
}

Result<DataLocation> DataLocation::find(const QString& programFolder, const QString& userFolder,
                                        const QString& supplied) {
    const QString name = QLatin1String(schema::kFileName);
    DataLocation here;
    here.folder = programFolder;
    here.file = QDir(programFolder).filePath(name);
    here.portable = true;
    if (present(here.file))
        return here;

    DataLocation user;
    user.folder = userFolder;
    user.file = QDir(userFolder).filePath(name);
    if (userFolder.isEmpty() || !QDir::isAbsolutePath(userFolder))
        return failure(here.file, QStringLiteral("Non si trova la cartella dei dati dell'utente "
                                                 "(la variabile HOME non indica una cartella)"));
    if (present(userFolder))
        if (Status s = keptFromOthers(userFolder, user.file); !s)
            return s.error();
    if (present(user.file))
        return user;
    if (Status s = makeFolder(userFolder, user.file); !s)
        return s.error();
    if (Status s = copySupplied(supplied, user.file, user.created); !s)
        return s.error();
    return user;
}

QString DataLocation::suppliedFile(const QString& programFolder) {
    return QDir::cleanPath(
        QDir(programFolder)
            .filePath(QStringLiteral(GESTIONE_SHARED_DATA "/") + QLatin1String(schema::kFileName)));
}

QString DataLocation::userFolder() {
    // The variables are read as bytes: a name that is not UTF-8 still names the user's folder.
    // A relative XDG_DATA_HOME is no folder and is ignored, as the desktops' rules say.
    QString base;
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.startsWith('/'))
        base = folders::usablePath(data);
    if (base.isEmpty()) {
        QByteArray home = qgetenv("HOME");
        // Without HOME, the home the system's accounts give the user.
        if (home.isEmpty()) {
            if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
                home = pw->pw_dir;
        }
        if (!home.startsWith('/'))
            return {};
        while (home.size() > 1 && home.endsWith('/'))
            home.chop(1);
        const QString usable = folders::usablePath(home);
        if (usable.isEmpty())
            return {};
        base = QDir(usable).filePath(QStringLiteral(".local/share"));
    }
    return QDir(base).filePath(QStringLiteral("Gestione Ordini"));
}

QString DataLocation::createdMessage(const DataLocation& location) {
    return QStringLiteral("Benvenuto in Gestione Ordini.\n\n"
                          "Il database vuoto fornito con il programma è stato copiato in:\n%1\n\n"
                          "Qui restano clienti, articoli e ordini; le esportazioni vengono "
                          "salvate nella stessa cartella.\n\n"
                          "Inserire per prima cosa i dati dell'agente, che compaiono su ogni "
                          "foglio d'ordine: menu \"Utente\", Codice di Controllo %2.\n"
                          "Altre indicazioni nel menu \"Aiuto\", \"Primi passi\".")
        .arg(location.shownFile())
        .arg(agent::kAccessCode);
}
