#pragma once
// The desktop program's messages: a modal box with an OK button and the
// application title, shown over the active window.

#include <string_view>

void showMessageBox(std::string_view text);

// Sends the messages of the calling thread (the readers' among them) to
// showMessageBox.
void installMessageBoxSink();
