#pragma once

#include "support/ScriptedDialogs.h"

#include <QStringList>

// The boxes a case expects, in the form ScriptedDialogs::describe() gives, so that a failing
// comparison shows both sequences whole.
namespace boxes {

inline QString one(ScriptedDialogs::Kind kind, const QString& text, const QString& title,
                   BoxIcon icon = BoxIcon::None) {
    return QStringLiteral("[%1|%2|%3|%4]")
        .arg(QLatin1String(toString(kind)), text, title)
        .arg(int(icon));
}

inline QString question(const QString& text, const QString& title) {
    return one(ScriptedDialogs::Kind::Question, text, title);
}

inline QString message(const QString& text, const QString& title, BoxIcon icon = BoxIcon::None) {
    return one(ScriptedDialogs::Kind::Message, text, title, icon);
}

inline QString input(const QString& prompt, const QString& title) {
    return one(ScriptedDialogs::Kind::Input, prompt, title);
}

inline QString password(const QString& prompt, const QString& title) {
    return one(ScriptedDialogs::Kind::Password, prompt, title);
}

inline QString seq(const QStringList& parts) {
    return parts.join(QLatin1Char(' '));
}

} // namespace boxes
