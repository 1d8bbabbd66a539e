#pragma once
// Where the readers send their messages ("Not a BMP file!" ...). Each thread has
// its own sink; the default writes the text to standard error.
//
// Warnings (a picture that still decodes although its data are damaged) have a
// sink of their own, so that a caller can tell them from refusals.

#include <functional>
#include <string_view>

namespace kavro {

using MessageSink = std::function<void(std::string_view)>;

// Installs `sink` for the calling thread and returns the previous one. An empty
// sink restores the default.
MessageSink setMessageSink(MessageSink sink);

// Hands `text` to the calling thread's sink.
void showMessage(std::string_view text);

// The same for warnings.
MessageSink setWarningSink(MessageSink sink);
void showWarning(std::string_view text);

// Installs a sink with `set` (setMessageSink or setWarningSink) while it lives,
// then puts the previous one back.
class ScopedSink {
public:
    using Setter = MessageSink (*)(MessageSink);
    ScopedSink(Setter set, MessageSink sink) : m_set(set), m_previous(set(std::move(sink))) {}
    ~ScopedSink() { m_set(std::move(m_previous)); }
    ScopedSink(const ScopedSink&) = delete;
    ScopedSink& operator=(const ScopedSink&) = delete;

private:
    Setter m_set;
    MessageSink m_previous;
};

} // namespace kavro
