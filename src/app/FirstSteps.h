#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

// The "Primi passi" page of the menu "Aiuto": the agent's access code, where the files go, how
// to keep a copy of the data and how to bring in the old archive.
class FirstSteps : public QDialog {
    Q_OBJECT
public:
    // `dataFile` is the database file in use, named on the page.
    FirstSteps(const QString& dataFile, QWidget* parent);

    // The page as rich text.
    static QString page(const QString& dataFile);

    QTextBrowser* TestoPrimiPassi;
};
