#include "UserGuide.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

UserGuide::UserGuide(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Guida"));
    setWindowTitle(QStringLiteral("Guida"));
    auto* layout = new QVBoxLayout(this);
    TestoGuida = new QTextBrowser(this);
    TestoGuida->setObjectName(QStringLiteral("TestoGuida"));
    TestoGuida->setOpenLinks(false);
    TestoGuida->setMarkdown(text());
    layout->addWidget(TestoGuida);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Chiudi"));
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("ChiudiGuida"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(720, 640);
}

QString UserGuide::text() {
    QFile file(QStringLiteral(":/docs/GUIDA.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
