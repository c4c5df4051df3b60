#pragma once

#include <functional>

class QWidget;

// Work that would stall the window (writing files, sending, reading a spreadsheet) done on a
// thread of its own while the window's thread waits for it in an event loop: the windows keep
// drawing themselves and timers run, but what the user does waits until the work is over.
namespace offthread {

// Runs `work` on a new thread and returns once it has ended. `meanwhile`, when given, runs on
// the window's thread as soon as the work has started. `box`, when given, is the caller's own
// busy box (a bar with "Annulla"): while it shows, the user's input is let through, to the box
// and to whatever its modality leaves free; while it does not, the input waits.
void run(const std::function<void()>& work, QWidget* box = nullptr,
         const std::function<void()>& meanwhile = {});

} // namespace offthread
