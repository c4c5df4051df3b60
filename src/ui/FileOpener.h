#pragma once

#include "base/Result.h"

#include <QString>

// Opens a file in the desktop's application for its kind (a workbook in the spreadsheet
// program); an error, naming the cause, when nothing could open it.
class FileOpener {
public:
    virtual ~FileOpener() = default;
    virtual Status open(const QString& path) = 0;
};

// The desktop's opener, xdg-open, run as a child process whose exit status is waited for: it
// fails when the desktop has no application for the file, which the toolkit's "open this URL"
// call does not tell. An opener still running after waitMs has started the application (some
// openers stay until it ends): that counts as opened. The window keeps painting meanwhile.
class DesktopFileOpener : public FileOpener {
public:
    explicit DesktopFileOpener(int waitMs = 5000) : m_waitMs(waitMs) {}
    Status open(const QString& path) override;

private:
    int m_waitMs;
};

// The line a box adds after "the file is in ..." to say why nothing opened it.
inline QString openerCause(const Error& e) {
    return e.text.isEmpty() ? QString() : QStringLiteral("\n\nMotivo: %1.").arg(e.text);
}
