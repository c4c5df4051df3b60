#pragma once

#include "SmtpFailure.h"
#include "SmtpSender.h"

#include <QByteArray>

#include <curl/curl.h>

#include <chrono>

// How the SMTP sender follows a sending through the library's callbacks: the dialogue, the
// bounds of each wait, the user's "Annulla", and the parts of the message as they go.
namespace mail::smtpwatch {

// Where the dialogue stands, kept by the library's callbacks on the sending thread: the trace
// of the commands and replies, the clock of each wait, and the message as it goes.
struct Watch {
    using Clock = std::chrono::steady_clock;
    CURL* easy = nullptr;
    const MailServer* server = nullptr;
    const SendControl* control = nullptr;
    SmtpTrace trace;
    // The connection's socket while it is open.
    curl_socket_t socket = CURL_SOCKET_BAD;
    Clock::time_point started = Clock::now();
    // The last command sent or reply received (the connection's start before either).
    Clock::time_point commandAt = started;
    bool awaitingReply = true;
    // The last sign that the message moves: a byte of it handed over, or fewer bytes left
    // waiting for the server's acknowledgement.
    Clock::time_point dataAt = started;
    int waiting = -1;
    // Since when every byte is with the server and only its reply is awaited.
    bool confirming = false;
    Clock::time_point confirmingSince = started;
    // The farewell's moment.
    Clock::time_point quitAt = started;

    void step(SendStep s) const {
        if (control->step)
            control->step(s);
    }
    static bool expired(Clock::time_point since, qint64 ms) {
        return Clock::now() - since > std::chrono::milliseconds(ms);
    }
    // Bytes handed to the connection that the server has not acknowledged yet; 0 when it
    // cannot be told, so that nothing is taken for undelivered without proof.
    int unacknowledged() const;
    // Ends the connection at once: a server that stopped reading, or one that is slow to
    // confirm, is not waited for again over the farewell. Returns the callbacks' "stop".
    int abort() const;
    // A server that takes nothing more: bytes wait at its door, and none went in for `ms`.
    bool stuck(qint64 ms) const {
        return !trace.messageEnded || (waiting > 0 && expired(dataAt, ms));
    }
};

// One part of the message, read by the library as it sends: the first read of the first part
// waits for the caller's leave, and the end of the last that holds anything tells that the whole
// message went (the library reads no further once it has a part's every byte).
struct PartSource {
    Watch* watch = nullptr;
    QByteArray bytes;
    qsizetype pos = 0;
    bool first = false;
    bool last = false;
};

// The library's callbacks; `user` is the Watch, for readPart and seekPart the PartSource.
int onSocketOpened(void* user, curl_socket_t socket, curlsocktype purpose);
int onSocketClosed(void* user, curl_socket_t socket);
int onDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* user);
int onProgress(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
               curl_off_t ulnow);
size_t readPart(char* buffer, size_t size, size_t items, void* user);
int seekPart(void* user, curl_off_t offset, int origin);

} // namespace mail::smtpwatch
