#pragma once
// Collects the messages of the calling thread while it lives.

#include "image/message_sink.h"

#include <string>
#include <vector>

class MessageCapture {
public:
    MessageCapture()
        : m_previous(
              setMessageSink([this](std::string_view text) { messages.emplace_back(text); })) {}
    ~MessageCapture() { setMessageSink(std::move(m_previous)); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    std::vector<std::string> messages;

private:
    MessageSink m_previous;
};
