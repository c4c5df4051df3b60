#include "ViewSettings.h"

#include "files/FolderNames.h"
#include "ui/widgets/Zoom.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace viewsettings {

namespace {

constexpr char kZoom[] = "vista/zoom";
constexpr char kMaximised[] = "vista/ingrandita";

// The program's settings: a file of the user's configuration folder.
std::unique_ptr<QSettings> settings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Gestione Ordini"),
                                       QStringLiteral("Gestione Ordini"));
}

} // namespace

View load() {
    const auto kept = settings();
    QSettings& s = *kept;
    View v;
    bool ok = false;
    const int zoom = s.value(QLatin1String(kZoom)).toInt(&ok);
    if (ok && zoom >= zoom::kSmallest && zoom <= zoom::kLargest &&
        (zoom - zoom::kSmallest) % zoom::kStep == 0)
        v.zoom = zoom;
    const QString maximised = s.value(QLatin1String(kMaximised)).toString();
    v.maximised = maximised == QLatin1String("true");
    return v;
}

bool save(const View& view, QString* error) {
    const auto kept = settings();
    QSettings& s = *kept;
    const QString file = s.fileName();
    const QString folder = QFileInfo(file).absolutePath();
    // The folder first, the owner's alone: the file is never readable by others, not even while
    // it is being written.
    const bool folderMade =
        QDir().mkpath(folder) &&
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (folderMade) {
        s.setValue(QLatin1String(kZoom), view.zoom);
        s.setValue(QLatin1String(kMaximised), view.maximised);
        s.sync();
    }
    const bool written = folderMade && s.status() == QSettings::NoError &&
                         QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    if (!written && error)
        *error = QStringLiteral("Impossibile ricordare la dimensione della finestra: il file %1 "
                                "non si può scrivere.")
                     .arg(folders::shownNative(file));
    return written;
}

} // namespace viewsettings
