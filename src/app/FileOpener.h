#pragma once

#include <QString>

// Opens a file in the desktop's application for its kind (a workbook in the spreadsheet
// program); false when nothing could open it.
class FileOpener {
public:
    virtual ~FileOpener() = default;
    virtual bool open(const QString& path) = 0;
};

class DesktopFileOpener : public FileOpener {
public:
    bool open(const QString& path) override;
};
