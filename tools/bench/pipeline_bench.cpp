// kavro-bench-pipeline [-j N] [--repeat R] FILE_OR_FOLDER...
//
// The whole read over a set of pictures, as kavro-cli does it:
//  1. pictures per second with one worker and with N workers (default: all cores),
//     each the best of R runs over every file after one untimed run, and the peak
//     resident memory of the process after each;
//  2. per picture, the processor time of every stage (the least of R runs): decoding,
//     prepareImage (as kavro-cli reads: a top-down picture handed over instead of copied,
//     and without the working planes when a trailer gives the plate's corners), the edge
//     plane (none then), recognition (the search of all scan rows, or the corner path
//     for a file with a plate-corner trailer, split into rectification and
//     recogniseCharacters), and recognition after decoding against the decoding itself.
// A folder stands for the .jpg and .bmp files in it, in name order.
// Stage times are the calling thread's processor time, so other load on the machine
// disturbs them little; the throughput figures are wall-clock times.

#include "app/driver/picture_session.h"
#include "app/driver/recognition_driver.h"
#include "data/plate_formats.h"
#include "engine/context/edge_plane.h"
#include "engine/primitives/plate_warp.h"
#include "engine/recognise/plate_reader.h"
#include "file_report.h"
#include "image/plate_corner_trailer.h"
#include "ordered_runner.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace kavro;

namespace {

struct Options {
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    int repeat = 5;
    CharacterClassifier classifier = CharacterClassifier::trained;
    std::vector<std::string> files;
};

// Processor time of the calling thread, in microseconds.
double threadMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// The least processor time of `repeat` runs of `work`, each after an untimed `setup`.
double leastTime(
    int repeat, const std::function<void()>& work, const std::function<void()>& setup = [] {}) {
    double least = std::numeric_limits<double>::max();
    for (int i = 0; i < repeat; ++i) {
        setup();
        const double start = threadMicroseconds();
        work();
        least = std::min(least, threadMicroseconds() - start);
    }
    return least;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t m = values.size() / 2;
    return values.size() % 2 == 1 ? values[m] : (values[m - 1] + values[m]) / 2;
}

struct StageTimes {
    int width = 0;
    int height = 0;
    bool trailer = false;
    double decode = 0, prepare = 0, edges = 0, recognise = 0;
    double rectify = 0, read = 0; // corner path only
    double afterDecode() const { return prepare + edges + recognise; }
};

std::optional<StageTimes> measureStages(const std::string& path, int repeat,
                                        CharacterClassifier classifier) {
    const std::optional<std::vector<std::uint8_t>> file = readWholeFile(path);
    if (!file) {
        return std::nullopt;
    }
    const bool bitmap = file->size() >= 2 && (*file)[0] == 'B' && (*file)[1] == 'M';
    CDib picture;
    const auto decode = [&] {
        return bitmap ? picture.LoadBmpData(*file) : picture.LoadJpegData(*file);
    };
    if (!decode()) {
        return std::nullopt;
    }
    StageTimes times;
    times.width = picture.GetWidth();
    times.height = picture.GetHeight();
    times.trailer = cornersFromTrailer;
    times.decode = leastTime(repeat, [&] { decode(); });

    // As kavro-cli reads: a top-down picture's pixels handed over, not copied, and a
    // picture with known plate corners without its working planes.
    auto context = std::make_unique<RecognitionContext>();
    context->characterClassifier = classifier;
    const std::span<const std::uint8_t> pixels = picture.GetPixels();
    std::unique_ptr<std::uint8_t[]> handed;
    const auto handOut = [&] {
        handed = std::make_unique_for_overwrite<std::uint8_t[]>(pixels.size());
        std::copy(pixels.begin(), pixels.end(), handed.get());
    };
    const auto fill =
        times.trailer ? RecognitionContext::PlaneFill::later : RecognitionContext::PlaneFill::now;
    times.prepare = picture.IsBottomUp()
                        ? leastTime(repeat,
                                    [&] {
                                        context->prepareImage(pixels, picture.GetWidth(),
                                                              picture.GetHeight(), true);
                                    })
                        : leastTime(
                              repeat,
                              [&] {
                                  context->adoptImage(std::move(handed), picture.GetWidth(),
                                                      picture.GetHeight(), fill);
                              },
                              handOut);
    if (!times.trailer) {
        times.edges = leastTime(repeat, [&] {
            computeEdgePlane(context->planeHeight, context->grayPlane.get(),
                             context->edgePlane.get(), context->planeWidth);
        });
    }
    RecognitionResult result{};
    times.recognise = leastTime(repeat, [&] { recognisePlates(*context, result); });
    if (times.trailer) {
        const Quad<double> corners = trailerCornersInPicture(*context);
        times.rectify = leastTime(repeat, [&] {
            warpPlateFromCorners(context->plateImages[0].get(), corners, context->source());
        });
        times.read = leastTime(repeat, [&] {
            result = {};
            recogniseCharacters(*context, trailerFormat, result);
        });
    }
    return times;
}

// Wall-clock pictures per second of the whole read of every file on `workers` threads.
double picturesPerSecond(const std::vector<std::string>& files, unsigned workers,
                         CharacterClassifier classifier) {
    const auto start = std::chrono::steady_clock::now();
    runInOrder(
        files.size(), workers,
        [&](std::size_t i) {
            thread_local auto session = std::make_unique<PictureSession>();
            session->classifier = classifier;
            return plainLine(reportFile(*session, files[i]));
        },
        [](std::size_t, const std::string&) {});
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<double>(files.size()) / elapsed.count();
}

// The best of `runs` wall-clock throughputs.
double bestPicturesPerSecond(const std::vector<std::string>& files, unsigned workers, int runs,
                             CharacterClassifier classifier) {
    double best = 0;
    for (int run = 0; run < runs; ++run) {
        best = std::max(best, picturesPerSecond(files, workers, classifier));
    }
    return best;
}

// The files named, with every folder replaced by its pictures.
std::vector<std::string> picturesOf(const std::vector<std::string>& names) {
    std::vector<std::string> files;
    for (const std::string& name : names) {
        if (!std::filesystem::is_directory(name)) {
            files.push_back(name);
            continue;
        }
        std::vector<std::string> inFolder;
        for (const auto& entry : std::filesystem::directory_iterator(name)) {
            const std::string extension = entry.path().extension().string();
            if (entry.is_regular_file() && (extension == ".jpg" || extension == ".bmp")) {
                inFolder.push_back(entry.path().string());
            }
        }
        std::sort(inFolder.begin(), inFolder.end());
        files.insert(files.end(), inFolder.begin(), inFolder.end());
    }
    return files;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void printStages(const std::string& path, const StageTimes& t) {
    std::printf("%-36s %5dx%-5d %8.0f %8.0f %6.0f %9.0f %8.0f %8.0f %6.2f\n",
                path.substr(path.find_last_of('/') + 1).c_str(), t.width, t.height, t.decode,
                t.prepare, t.edges, t.recognise, t.rectify, t.read, t.afterDecode() / t.decode);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"Kavro: stage times and throughput of the whole read over a set of pictures."};
    app.add_option("-j", options.jobs, "workers of the parallel run (default: all cores)")
        ->check(CLI::PositiveNumber);
    app.add_option("--repeat", options.repeat,
                   "runs per stage and per throughput figure; the best counts")
        ->check(CLI::PositiveNumber);
    std::string classifier = "trained";
    app.add_option("--classifier", classifier, "what reads the characters (as kavro-cli)")
        ->check(CLI::IsMember({"trained", "templates"}));
    app.add_option("FILE", options.files, "pictures, or folders of them")->required();
    CLI11_PARSE(app, argc, argv);
    options.files = picturesOf(options.files);
    if (classifier == "templates") {
        options.classifier = CharacterClassifier::templates;
    }

    // The first run fills the page cache and the allocator's pools.
    picturesPerSecond(options.files, 1, options.classifier);
    const double serial =
        bestPicturesPerSecond(options.files, 1, options.repeat, options.classifier);
    const double serialPeak = peakMegabytes();
    const double parallel =
        bestPicturesPerSecond(options.files, options.jobs, options.repeat, options.classifier);
    const double parallelPeak = peakMegabytes();

    std::printf("%-36s %11s %8s %8s %6s %9s %8s %8s %6s\n", "picture (times in us)", "size",
                "decode", "prepare", "edges", "recognise", "rectify", "read", "ratio");
    std::vector<double> ratios, afterDecode, trailerAfterDecode, plateReads;
    double largestPicture = 0;
    for (const std::string& path : options.files) {
        const std::optional<StageTimes> times =
            measureStages(path, options.repeat, options.classifier);
        if (!times) {
            std::printf("%s: not read\n", path.c_str());
            continue;
        }
        printStages(path, *times);
        ratios.push_back(times->afterDecode() / times->decode);
        afterDecode.push_back(times->afterDecode());
        if (times->trailer) {
            trailerAfterDecode.push_back(times->afterDecode());
            plateReads.push_back(times->read);
        }
        largestPicture = std::max(largestPicture, 3.0 * times->width * times->height / 1048576.0);
    }
    std::printf("\nmedian recognition after decoding / decoding: %.2f (target below 1)\n",
                median(ratios));
    std::printf("median recognition after decoding: %.0f us", median(afterDecode));
    if (!trailerAfterDecode.empty()) {
        std::printf(", with the corner trailer: %.0f us (target below 1000)",
                    median(trailerAfterDecode));
        std::printf("\nmedian read of one plate (recogniseCharacters): %.0f us, slowest %.0f us "
                    "(target below 1000)",
                    median(plateReads), *std::max_element(plateReads.begin(), plateReads.end()));
    }
    std::printf("\npictures/s: %.1f with 1 worker, %.1f with %u (%.2fx, target 1.8x on 2 cores)\n",
                serial, parallel, options.jobs, parallel / serial);
    std::printf("peak memory: %.1f MB with 1 worker, %.1f MB with %u; largest decoded picture "
                "%.1f MB, limit 3x + 16 = %.1f MB\n",
                serialPeak, parallelPeak, options.jobs, largestPicture, 3 * largestPicture + 16);
    return 0;
}
