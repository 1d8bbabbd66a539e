#pragma once
// Where the readers send their messages ("Not a BMP file!" ...). Each thread has
// its own sink; the default writes the text to standard error.
//
// Warnings (a picture that still decodes although its data are damaged) have a
// sink of their own, so that a caller can tell them from refusals.

#include <functional>
#include <string_view>

using MessageSink = std::function<void(std::string_view)>;

// Installs `sink` for the calling thread and returns the previous one. An empty
// sink restores the default.
MessageSink setMessageSink(MessageSink sink);

// Hands `text` to the calling thread's sink.
void showMessage(std::string_view text);

// The same for warnings.
MessageSink setWarningSink(MessageSink sink);
void showWarning(std::string_view text);
