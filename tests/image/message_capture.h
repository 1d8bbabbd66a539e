#pragma once
// Collects the messages of the calling thread while it lives.

#include "image/message_sink.h"

#include <string>
#include <vector>

class MessageCapture {
public:
    std::vector<std::string> messages;

private:
    kavro::ScopedSink m_sink{kavro::setMessageSink,
                             [this](std::string_view text) { messages.emplace_back(text); }};
};
