#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

// The user's guide of the menu "Aiuto": every feature, in the words of the guide kept with the
// program's sources, shown beside the window.
class UserGuide : public QDialog {
    Q_OBJECT
public:
    explicit UserGuide(QWidget* parent);

    // The guide's text as written (Markdown), empty when the program was built without it.
    static QString text();

    QTextBrowser* TestoGuida;
};
