#pragma once

#include "base/Result.h"

#include <QString>

#include <optional>

enum class BoxIcon { None, Information, Exclamation, Critical };
// The button of a question that Return presses. A question that deletes or writes over data
// defaults to No, so that a stray Return loses nothing.
enum class BoxDefault { Yes, No };

// The modal boxes of the program. The window and its panels show every box through this
// interface, so that tests can answer them and check their texts.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A box with an OK button.
    virtual void message(const QString& text, const QString& title, BoxIcon icon) = 0;
    // A box with Yes and No buttons; true for Yes.
    virtual bool question(const QString& text, const QString& title, BoxIcon icon = BoxIcon::None,
                          BoxDefault byDefault = BoxDefault::Yes) = 0;
    // A question that deletes or writes over data: No is the default button.
    bool questionDefaultNo(const QString& text, const QString& title,
                           BoxIcon icon = BoxIcon::None) {
        return question(text, title, icon, BoxDefault::No);
    }
    // An input box with an empty entry; no value when it is cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& title) = 0;
    // An input box whose entry shows dots for what is typed (a password); no value when it is
    // cancelled. Without a box of its own, every password asked is cancelled.
    virtual std::optional<QString> password(const QString& prompt, const QString& title) {
        (void)prompt;
        (void)title;
        return std::nullopt;
    }
    // The desktop's chooser of a folder, opened at `start`; no value when it is cancelled.
    virtual std::optional<QString> chooseFolder(const QString& title, const QString& start) = 0;
    // The chooser of an existing file among those `filter` names ("Copie (*.mdb)").
    virtual std::optional<QString> chooseFile(const QString& title, const QString& start,
                                              const QString& filter) = 0;
};

// The error box: the error's number, ":", a line break and its description, titled "Errore".
void ShowErrMsg(Dialogs& dialogs, const Error& error);
