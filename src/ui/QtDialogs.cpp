#include "QtDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {

QMessageBox::Icon qtIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Exclamation:
        return QMessageBox::Warning;
    case BoxIcon::Critical:
        return QMessageBox::Critical;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

std::unique_ptr<QMessageBox> QtDialogs::makeMessage(const QString& text, const QString& title,
                                                    BoxIcon icon, bool yesNo,
                                                    BoxDefault byDefault) const {
    auto box = std::make_unique<QMessageBox>(
        qtIcon(icon), title, text, yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
        m_parent.data());
    box->setTextFormat(Qt::PlainText);
    if (!yesNo)
        box->setDefaultButton(QMessageBox::Ok);
    else
        box->setDefaultButton(byDefault == BoxDefault::No ? QMessageBox::No : QMessageBox::Yes);
    if (yesNo)
        box->setEscapeButton(QMessageBox::No);
    return box;
}

std::unique_ptr<QInputDialog> QtDialogs::makeInput(const QString& prompt,
                                                   const QString& title) const {
    auto box = std::make_unique<QInputDialog>(m_parent.data());
    box->setWindowTitle(title);
    box->setLabelText(prompt);
    box->setTextValue(QString());
    box->setInputMode(QInputDialog::TextInput);
    return box;
}

void QtDialogs::message(const QString& text, const QString& title, BoxIcon icon) {
    makeMessage(text, title, icon, false)->exec();
}

bool QtDialogs::question(const QString& text, const QString& title, BoxIcon icon,
                         BoxDefault byDefault) {
    return makeMessage(text, title, icon, true, byDefault)->exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::input(const QString& prompt, const QString& title) {
    auto box = makeInput(prompt, title);
    if (box->exec() != QDialog::Accepted)
        return std::nullopt;
    return box->textValue();
}

std::optional<QString> QtDialogs::password(const QString& prompt, const QString& title) {
    auto box = makeInput(prompt, title);
    box->setTextEchoMode(QLineEdit::Password);
    box->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhNoPredictiveText | Qt::ImhSensitiveData);
    const bool accepted = box->exec() == QDialog::Accepted;
    QString typed = box->textValue();
    box->setTextValue(QString());
    if (!accepted)
        return std::nullopt;
    return typed;
}

std::optional<QString> QtDialogs::chooseFolder(const QString& title, const QString& start) {
    const QString dir = QFileDialog::getExistingDirectory(m_parent.data(), title, start);
    if (dir.isEmpty())
        return std::nullopt;
    return dir;
}

std::optional<QString> QtDialogs::chooseFile(const QString& title, const QString& start,
                                             const QString& filter) {
    const QString file = QFileDialog::getOpenFileName(m_parent.data(), title, start, filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}
