// kavro-cli [--json] [-j N] [-r] [--annotate DIR] [--classifier trained|templates] FILE|FOLDER|-...
// Reads each file (the pictures of each folder, the files named on standard
// input for "-"), recognises its plates and prints one result per file in
// input order; with --annotate also writes each picture read with its plates
// marked. Exit status: 0 when every file was read (and annotated), 1 when any
// could not be, 2 on a usage error.

#include "annotate.h"
#include "file_report.h"
#include "inputs.h"
#include "ordered_runner.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

using namespace kavro;

namespace {

constexpr int exitUsage = 2;

struct Options {
    bool json = false;
    bool recursive = false;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    std::string annotateFolder;
    CharacterClassifier classifier = CharacterClassifier::trained;
    std::vector<std::string> files;
};

// The report of an entry that failed before any file was read.
FileReport failedEntry(const Input& input) {
    FileReport report;
    report.file = input.path;
    report.error = input.error;
    return report;
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
    app.add_flag("--json", options.json,
                 "print one JSON object per file (JSON Lines); each plate has text, format, "
                 "type, confidence, scores and corners: [[x, y], ...] in picture pixels, "
                 "clockwise from the top left");
    app.add_option("-j", options.jobs, "worker threads (default: all cores)")
        ->check(CLI::PositiveNumber);
    app.add_flag("-r", options.recursive, "read the subfolders of a folder too");
    app.add_option("--annotate", options.annotateFolder,
                   "write each picture read into DIR (made if missing) with every plate "
                   "outlined and its text above it, at the picture's own size: DIR/NAME.jpg "
                   "at the input's quality for a JPEG file, DIR/NAME.png for a BMP file")
        ->option_text("DIR")
        ->check([](const std::string& folder) {
            return folder.empty() ? std::string("the folder name is empty") : std::string();
        });
    std::string classifier = "trained";
    app.add_option("--classifier", classifier,
                   "what reads the characters: trained (the character network, default) or "
                   "templates (the binary glyph templates)")
        ->check(CLI::IsMember({"trained", "templates"}));
    app.add_option("FILE", options.files,
                   "pictures to read: files, folders (their BMP and JPEG pictures, by name), "
                   "or - for file names on standard input, one a line")
        ->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : exitUsage;
    }
    if (classifier == "templates") {
        options.classifier = CharacterClassifier::templates;
    }

    const std::vector<Input> inputs = expandInputs(options.files, options.recursive, std::cin);
    const bool progress = isatty(STDERR_FILENO) && inputs.size() > 1;
    std::atomic<bool> anyFailed{false};
    std::optional<AnnotationRun> annotation;
    if (!options.annotateFolder.empty()) {
        annotation.emplace(options.annotateFolder, inputs);
        if (annotation->folderError()) {
            std::cerr << "kavro-cli: " << *annotation->folderError() << '\n';
            anyFailed = true;
        }
    }
    runInOrder(
        inputs.size(), options.jobs,
        [&](std::size_t i) {
            const Input& input = inputs[i];
            std::optional<std::string> notAnnotated;
            const WhileRead annotate = [&](const PictureSession& session) {
                notAnnotated = annotation->write(i, input.path, session);
            };
            PictureSession& session = threadSession();
            session.classifier = options.classifier;
            const FileReport report =
                input.error ? failedEntry(input)
                            : reportFile(session, input.path, annotation ? annotate : WhileRead{});
            if (report.error || notAnnotated) {
                anyFailed = true;
            }
            std::string problems = warningLines(report);
            if (notAnnotated) {
                problems += input.path + ": error: " + *notAnnotated + '\n';
            }
            std::fputs(problems.c_str(), stderr); // a file's lines at once
            return options.json ? jsonLine(report) : plainLine(report);
        },
        [&](std::size_t i, const std::string& line) {
            std::cout << line << '\n' << std::flush;
            if (progress) {
                showProgress(i + 1, inputs.size());
            }
        });
    return anyFailed ? 1 : 0;
}
