#include "image/message_sink.h"

#include <iostream>
#include <utility>

namespace kavro {

namespace {

thread_local MessageSink messageSink;
thread_local MessageSink warningSink;

void deliver(const MessageSink& sink, std::string_view text) {
    if (sink) {
        sink(text);
    } else {
        std::cerr << text << '\n';
    }
}

} // namespace

MessageSink setMessageSink(MessageSink sink) {
    return std::exchange(messageSink, std::move(sink));
}

void showMessage(std::string_view text) {
    deliver(messageSink, text);
}

MessageSink setWarningSink(MessageSink sink) {
    return std::exchange(warningSink, std::move(sink));
}

void showWarning(std::string_view text) {
    deliver(warningSink, text);
}

} // namespace kavro
