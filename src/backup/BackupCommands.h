#pragma once

#include "ui/AppContext.h"

#include <QString>

#include <functional>

// The menu commands "Copia di sicurezza…" and "Ripristina da copia…", and the automatic copies
// at start-up and at exit. The window gives what refreshes its panels after a restore.
class BackupCommands {
public:
    BackupCommands(AppContext& ctx, std::function<void()> refreshPanels)
        : ctx(ctx), m_refresh(std::move(refreshPanels)) {}

    void CopiaSicurezza_Click();
    void Ripristina_Click();

    // Start-up, once the file at `path` is open: a copy when the newest is a day old.
    void copyAtStart(const QString& path);
    // Exit, before the connection closes.
    void copyAtExit();

private:
    // Replaces the open file with the checked copy at `staged`; the connection is open again
    // afterwards, on the copy (under `key`) or, when that fails, on the file as it was.
    Status replaceWith(const QString& staged, const FileKey& key);
    // Whether a copy under another key takes the file's key (or keeps its own).
    bool askToTakeTheFileKey(const FileKey& copy, const FileKey& file);
    void tellAutomaticFailure(const Error& e);

    AppContext& ctx;
    std::function<void()> m_refresh;
    QString m_lastFolder;
};
