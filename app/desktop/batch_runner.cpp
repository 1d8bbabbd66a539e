#include "app/desktop/batch_runner.h"

#include "cli/ordered_runner.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

using namespace kavro;

namespace {

unsigned allCores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

BatchRunner::~BatchRunner() {
    Stop();
}

// The GUI thread never waits for the workers while they run: their reports and
// the end of the run arrive as queued calls on this object.
bool BatchRunner::Start(std::vector<std::filesystem::path> files) {
    if (IsRunning()) {
        return false;
    }
    m_count = files.size();
    m_thread = std::jthread([this, files = std::move(files)](std::stop_token stop) {
        std::size_t reported = 0;
        runInOrder(
            files.size(), allCores(),
            [&files](std::size_t i) { return reportFile(threadSession(), files[i].string()); },
            [&](std::size_t i, FileReport& report) {
                ++reported;
                QMetaObject::invokeMethod(
                    this, [this, i, report = std::move(report)] { emit fileRead(i, report); },
                    Qt::QueuedConnection);
            },
            stop);
        QMetaObject::invokeMethod(
            this, [this, reported] { Finish(reported); }, Qt::QueuedConnection);
    });
    return true;
}

void BatchRunner::Cancel() {
    m_thread.request_stop();
}

void BatchRunner::Stop() {
    if (IsRunning()) {
        m_thread.request_stop();
        m_thread.join();
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    }
}

void BatchRunner::Finish(std::size_t reported) {
    m_thread.join(); // the thread has only its return left
    emit finished(reported == m_count);
}
