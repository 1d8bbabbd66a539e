#pragma once
// The state of the Caps, Num and Scroll Lock keys, for the status bar.

#include <optional>

struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The keyboard's lock indicators where the window system reports them (X11);
// nothing on platforms that do not.
std::optional<LockKeys> currentLockKeys();
