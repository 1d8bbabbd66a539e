#include "image/message_sink.h"

#include <iostream>
#include <utility>

namespace {
thread_local MessageSink currentSink;
} // namespace

MessageSink setMessageSink(MessageSink sink) {
    return std::exchange(currentSink, std::move(sink));
}

void showMessage(std::string_view text) {
    if (currentSink) {
        currentSink(text);
    } else {
        std::cerr << text << '\n';
    }
}
