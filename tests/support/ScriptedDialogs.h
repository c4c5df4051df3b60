#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QString>

#include <deque>
#include <optional>

// Boxes answered by the test: each box is recorded with its kind, text, title and icon, and
// answered from the queues. A question or input box with no answer queued is recorded as
// unexpected and answered No (or cancelled).
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Message, Question, Input, Choice, Password };
    struct Box {
        Kind kind;
        QString text;
        QString title;
        BoxIcon icon;
        // The default button of a question.
        BoxDefault byDefault = BoxDefault::Yes;
    };

    void message(const QString& text, const QString& title, BoxIcon icon) override;
    bool question(const QString& text, const QString& title, BoxIcon icon,
                  BoxDefault byDefault) override;
    std::optional<QString> input(const QString& prompt, const QString& title) override;
    // Recorded with its prompt and title, never with what is answered.
    std::optional<QString> password(const QString& prompt, const QString& title) override;
    // Recorded with the title as text and the starting folder as title.
    std::optional<QString> chooseFolder(const QString& title, const QString& start) override;
    std::optional<QString> chooseFile(const QString& title, const QString& start,
                                      const QString& filter) override;

    void answerYes(int times = 1);
    void answerNo(int times = 1);
    void answerInput(std::optional<QString> text);
    // What the next password box gives; none cancels it.
    void answerPassword(std::optional<QString> text);
    // The folder or file the next chooser gives; none cancels it.
    void answerChoice(std::optional<QString> path);

    QList<Box> boxes;
    QStringList unexpected;
    std::deque<bool> answers;
    std::deque<std::optional<QString>> inputs;
    std::deque<std::optional<QString>> passwords;
    std::deque<std::optional<QString>> choices;

    // Takes the recorded boxes, leaving none.
    QList<Box> take();
    void clear();
    // A short description of every recorded box, for failure messages.
    QString describe() const;
    // The default button of each question recorded, "Sì" or "No", in order.
    QStringList questionDefaults() const;
};

const char* toString(ScriptedDialogs::Kind k);
