#pragma once

#include "Dialogs.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QMessageBox;
class QInputDialog;

// The desktop's own message and input boxes.
class QtDialogs : public Dialogs {
public:
    void setParent(QWidget* parent) { m_parent = parent; }

    void message(const QString& text, const QString& title, BoxIcon icon) override;
    bool question(const QString& text, const QString& title, BoxIcon icon,
                  BoxDefault byDefault) override;
    std::optional<QString> input(const QString& prompt, const QString& title) override;
    std::optional<QString> password(const QString& prompt, const QString& title) override;
    std::optional<QString> chooseFolder(const QString& title, const QString& start) override;
    std::optional<QString> chooseFile(const QString& title, const QString& start,
                                      const QString& filter) override;

    // The boxes as they would be shown, not yet shown (for tests of their buttons).
    std::unique_ptr<QMessageBox> makeMessage(const QString& text, const QString& title,
                                             BoxIcon icon, bool yesNo,
                                             BoxDefault byDefault = BoxDefault::Yes) const;
    std::unique_ptr<QInputDialog> makeInput(const QString& prompt, const QString& title) const;

private:
    QPointer<QWidget> m_parent;
};
