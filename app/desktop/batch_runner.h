#pragma once
// Reads a list of pictures in the background, one engine session per worker
// thread on all cores (as kavro-cli does), and hands the reports to the GUI
// thread in input order.

#include "cli/file_report.h"

#include <QObject>

#include <cstddef>
#include <filesystem>
#include <thread>
#include <vector>

class BatchRunner : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~BatchRunner() override; // stops the workers

    // Starts reading `files`; false, and nothing starts, while a batch runs.
    bool Start(std::vector<std::filesystem::path> files);
    // Asks the workers to take no further file; the files being read are
    // finished and reported, then `finished` follows.
    void Cancel();
    // Cancels and waits for the workers; nothing is reported any more.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

signals:
    // Report `index` of the list; reports come in input order.
    void fileRead(std::size_t index, const FileReport& report);
    // After the last report; `complete` is false when the batch was cancelled.
    void finished(bool complete);

private:
    void Finish(std::size_t reported);

    std::jthread m_thread; // runs the workers and waits for them
    std::size_t m_count = 0;
};
