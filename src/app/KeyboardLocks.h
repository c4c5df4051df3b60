#pragma once

#include <optional>

struct KeyboardLocks {
    bool numLock = false;
    bool capsLock = false;
};

// The keyboard's Num Lock and Caps Lock states, where the platform tells them (X11).
std::optional<KeyboardLocks> readKeyboardLocks();
