// kavro-cli [--json] [-j N] [--classifier trained|templates] FILE...
// Reads each file, recognises its plates and prints one result per file in
// input order. Exit status: 0 when every file was read, 1 when any could not
// be, 2 on a usage error.

#include "file_report.h"
#include "ordered_runner.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

constexpr int exitUsage = 2;

struct Options {
    bool json = false;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    CharacterClassifier classifier = CharacterClassifier::trained;
    std::vector<std::string> files;
};

// A reusable session per worker thread: buffers stay allocated between files.
PictureSession& threadSession() {
    thread_local auto session = std::make_unique<PictureSession>();
    return *session;
}

void showProgress(std::size_t done, std::size_t total) {
    std::fprintf(stderr, "\r%zu/%zu", done, total);
    if (done == total) {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"Kavro: reads the licence plates in BMP and JPEG pictures."};
    app.add_flag("--json", options.json, "print one JSON object per file (JSON Lines)");
    app.add_option("-j", options.jobs, "worker threads (default: all cores)")
        ->check(CLI::PositiveNumber);
    std::string classifier = "trained";
    app.add_option("--classifier", classifier,
                   "what reads the characters: trained (the character network, default) or "
                   "templates (the binary glyph templates)")
        ->check(CLI::IsMember({"trained", "templates"}));
    app.add_option("FILE", options.files, "pictures to read")->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : exitUsage;
    }
    if (classifier == "templates") {
        options.classifier = CharacterClassifier::templates;
    }

    const bool progress = isatty(STDERR_FILENO) && options.files.size() > 1;
    std::atomic<bool> anyUnread{false};
    runInOrder(
        options.files.size(), options.jobs,
        [&](std::size_t i) {
            PictureSession& session = threadSession();
            session.classifier = options.classifier;
            const FileReport report = reportFile(session, options.files[i]);
            if (report.error) {
                anyUnread = true;
            }
            std::fputs(warningLines(report).c_str(), stderr); // a file's lines at once
            return options.json ? jsonLine(report) : plainLine(report);
        },
        [&](std::size_t i, const std::string& line) {
            std::cout << line << '\n' << std::flush;
            if (progress) {
                showProgress(i + 1, options.files.size());
            }
        });
    return anyUnread ? 1 : 0;
}
