#pragma once

#include "MailMessage.h"
#include "base/Result.h"

#include <QString>
#include <QStringList>

// The message handed to the desktop's mail program, for the agent to review and send from
// there: Thunderbird's composer with the files attached when Thunderbird is installed, else
// xdg-email. The files stay where they are: the program reads them later.
namespace mail::desktop {

struct Command {
    QString program;
    QStringList arguments;
};

// The command that opens the composer: "thunderbird -compose ..." when `thunderbird` is found
// on the PATH, else "xdg-email ..."; an Italian message when neither is there.
Result<Command> composeCommand(const MailMessage& message);
// Runs it: Thunderbird is started and left running; xdg-email is waited for (bounded) and its
// exit status told. Returns the name of the program that took the message.
Result<QString> compose(const MailMessage& message);

} // namespace mail::desktop
