#include "ScriptedDialogs.h"

void ScriptedDialogs::message(const QString& text, const QString& title, BoxIcon icon) {
    boxes.append({Kind::Message, text, title, icon});
}

bool ScriptedDialogs::question(const QString& text, const QString& title, BoxIcon icon,
                               BoxDefault byDefault) {
    boxes.append({Kind::Question, text, title, icon, byDefault});
    if (answers.empty()) {
        unexpected << text;
        return false;
    }
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<QString> ScriptedDialogs::input(const QString& prompt, const QString& title) {
    boxes.append({Kind::Input, prompt, title, BoxIcon::None});
    if (inputs.empty()) {
        unexpected << prompt;
        return std::nullopt;
    }
    std::optional<QString> a;
    a.swap(inputs.front());
    inputs.pop_front();
    return a;
}

std::optional<QString> ScriptedDialogs::password(const QString& prompt, const QString& title) {
    boxes.append({Kind::Password, prompt, title, BoxIcon::None});
    if (passwords.empty()) {
        unexpected << prompt;
        return std::nullopt;
    }
    std::optional<QString> a;
    a.swap(passwords.front());
    passwords.pop_front();
    return a;
}

std::optional<QString> ScriptedDialogs::chooseFolder(const QString& title, const QString& start) {
    boxes.append({Kind::Choice, title, start, BoxIcon::None});
    if (choices.empty()) {
        unexpected << title;
        return std::nullopt;
    }
    std::optional<QString> a;
    a.swap(choices.front());
    choices.pop_front();
    return a;
}

std::optional<QString> ScriptedDialogs::chooseFile(const QString& title, const QString& start,
                                                   const QString&) {
    return chooseFolder(title, start);
}

void ScriptedDialogs::answerChoice(std::optional<QString> path) {
    choices.push_back(std::move(path));
}

void ScriptedDialogs::answerYes(int times) {
    for (int i = 0; i < times; ++i)
        answers.push_back(true);
}

void ScriptedDialogs::answerNo(int times) {
    for (int i = 0; i < times; ++i)
        answers.push_back(false);
}

void ScriptedDialogs::answerInput(std::optional<QString> text) {
    inputs.push_back(std::move(text));
}

void ScriptedDialogs::answerPassword(std::optional<QString> text) {
    passwords.push_back(std::move(text));
}

QList<ScriptedDialogs::Box> ScriptedDialogs::take() {
    QList<Box> b = boxes;
    boxes.clear();
    return b;
}

void ScriptedDialogs::clear() {
    boxes.clear();
    unexpected.clear();
    answers.clear();
    inputs.clear();
    passwords.clear();
    choices.clear();
}

QString ScriptedDialogs::describe() const {
    QStringList out;
    for (const Box& b : boxes)
        out << QStringLiteral("[%1|%2|%3|%4]")
                   .arg(QLatin1String(toString(b.kind)), b.text, b.title)
                   .arg(int(b.icon));
    return out.join(QLatin1Char(' '));
}

QStringList ScriptedDialogs::questionDefaults() const {
    QStringList out;
    for (const Box& b : boxes)
        if (b.kind == Kind::Question)
            out << (b.byDefault == BoxDefault::No ? QStringLiteral("No") : QStringLiteral("Sì"));
    return out;
}

const char* toString(ScriptedDialogs::Kind k) {
    switch (k) {
    case ScriptedDialogs::Kind::Message:
        return "message";
    case ScriptedDialogs::Kind::Question:
        return "question";
    case ScriptedDialogs::Kind::Input:
        return "input";
    case ScriptedDialogs::Kind::Choice:
        return "choice";
    case ScriptedDialogs::Kind::Password:
        return "password";
    }
    return "?";
}
