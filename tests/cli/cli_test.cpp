#include "app/driver/picture_folder.h"
#include "file_report.h"
#include "image/dib.h"
#include "image/jpeg_quality.h"
#include "image/test_pictures.h"
#include "ordered_runner.h"
#include "support/cli_run.h"
#include "support/temp_path.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/wait.h>
#include <thread>

using namespace kavro;

namespace {

Bytes contentOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

class CliFiles : public testing::Test {
protected:
    void SetUp() override {
        m_dir =
            tempPath("kavro-cli-" +
                     std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string write(const std::string& name, const Bytes& bytes) {
        const auto path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    std::filesystem::path m_dir;
};

TEST(Cli, UsageErrorsExitWithTwo) {
    EXPECT_EQ(runCli("").status, 2);
    EXPECT_EQ(runCli("--no-such-flag x.jpg").status, 2);
    EXPECT_EQ(runCli("-j 0 x.jpg").status, 2);
    EXPECT_EQ(runCli("--annotate '' x.jpg").status, 2);
    EXPECT_EQ(runCli("--annotate").status, 2);
    EXPECT_EQ(runCli("--classifier svm x.jpg").status, 2);
}

TEST(Cli, HelpListsEveryOption) {
    const CliRun run = runCli("--help");
    EXPECT_EQ(run.status, 0);
    for (const std::string option :
         {"--help", "--json", "-j", "-r", "--annotate DIR", "--classifier", "FILE"}) {
        EXPECT_TRUE(std::any_of(run.lines.begin(), run.lines.end(), [&](const std::string& line) {
            return line.find("  " + option + " ") != std::string::npos ||
                   line.find("," + option + " ") != std::string::npos;
        })) << option;
    }
}

TEST_F(CliFiles, UnreadableFilesGiveTheirErrorAndExitOne) {
    const std::string good = write("plain.bmp", makeBitmap({.width = 64, .height = 48}));
    const std::string corrupt = write("corrupt.jpg", Bytes{0xFF, 0xD8, 0xFF, 0x00, 0x12});
    const std::string missing = (m_dir / "missing.jpg").string();
    const CliRun run = runCli(good + " " + corrupt + " " + missing);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_EQ(run.lines[0], good + ": 无法识别车牌！");
    EXPECT_EQ(run.lines[1].rfind(corrupt + ": error: ", 0), 0u) << run.lines[1];
    EXPECT_EQ(run.lines[2], missing + ": error: Can not open the file!");
}

TEST_F(CliFiles, FormatIsToldByContent) {
    const std::string bitmapNamedJpeg =
        write("bitmap.jpg", makeBitmap({.width = 64, .height = 48}));
    const std::string jpegNamedBitmap = write("jpeg.bmp", makeJpeg(64, 48));
    const CliRun run = runCli(bitmapNamedJpeg + " " + jpegNamedBitmap);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, (std::vector<std::string>{bitmapNamedJpeg + ": 无法识别车牌！",
                                                   jpegNamedBitmap + ": 无法识别车牌！"}));
}

TEST_F(CliFiles, EitherClassifierReadsEveryFile) {
    const std::string bitmap = write("bitmap.bmp", makeBitmap({.width = 64, .height = 48}));
    const std::string jpeg = write("picture.jpg", makeJpeg(64, 48));
    for (const std::string classifier : {"trained", "templates"}) {
        const CliRun run = runCli("--classifier " + classifier + " " + bitmap + " " + jpeg);
        EXPECT_EQ(run.status, 0) << classifier;
        EXPECT_EQ(run.lines, (std::vector<std::string>{bitmap + ": 无法识别车牌！",
                                                       jpeg + ": 无法识别车牌！"}));
    }
}

TEST_F(CliFiles, JsonLinesKeepTheContract) {
    const std::string good = write("good.jpg", makeJpeg(64, 48));
    const std::string bad = write("bad.bmp", Bytes{'B', 'X'});
    const CliRun run = runCli("--json " + good + " " + bad);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 2u);
    const auto first = nlohmann::json::parse(run.lines[0]);
    EXPECT_EQ(first["file"], good);
    EXPECT_TRUE(first["plates"].is_array());
    EXPECT_TRUE(first["plates"].empty());
    EXPECT_TRUE(first["elapsed_ms"].is_number());
    const auto second = nlohmann::json::parse(run.lines[1]);
    EXPECT_EQ(second,
              (nlohmann::json{{"file", bad}, {"error", "Not a JPEG file: starts with 0x42 0x58"}}));
}

// A plate's corners go out clockwise from the top left, each to a tenth of a pixel.
TEST(Cli, JsonPlatesCarryTheirCorners) {
    FileReport report;
    report.file = "plate.jpg";
    PlateReport plate;
    plate.text = "皖A12345";
    plate.format = 1;
    plate.confidence = 90;
    plate.scores = {90, 91, 92, 93, 94, 95, 96};
    plate.corners = {{{100.5, 200}, {220.3, 198.1}, {221, 240}, {99.9, 242.2}}};
    report.plates.push_back(plate);
    const auto object = nlohmann::json::parse(jsonLine(report));
    EXPECT_EQ(
        object["plates"][0]["corners"],
        nlohmann::json::parse("[[100.5, 200.0], [220.3, 198.1], [221.0, 240.0], [99.9, 242.2]]"));
    EXPECT_NE(jsonLine(report).find("[[100.5,200.0],[220.3,198.1]"), std::string::npos)
        << jsonLine(report);
}

TEST_F(CliFiles, WorkersKeepTheInputOrder) {
    std::string arguments = "-j 2";
    std::vector<std::string> expected;
    for (int i = 0; i < 12; ++i) {
        const std::string name = std::to_string(i) + "-picture.bmp";
        const std::string path =
            write(name, makeBitmap({.width = 40 + 37 * i, .height = 30 + 20 * i}));
        arguments += " " + path;
        expected.push_back(path + ": 无法识别车牌！");
    }
    EXPECT_EQ(runCli(arguments).lines, expected);
}

// A file read in a batch leaves no picture or plane behind, so the next file
// is never decoded beside the last one.
TEST_F(CliFiles, AReadFileLeavesNoBuffersBehind) {
    PictureSession session;
    for (const Bytes& file : {makeJpeg(640, 480), makeBitmap({.width = 320, .height = 240})}) {
        const FileReport report = reportFile(session, write("picture", file));
        EXPECT_FALSE(report.error);
        EXPECT_TRUE(session.picture.GetPixels().empty());
        EXPECT_FALSE(session.context.sourceImage);
        EXPECT_FALSE(session.context.colourPlane);
    }
}

// Damaged data the decoder reads anyway: the file is read, and its warning is
// reported with the file's name, apart from the result line.
TEST_F(CliFiles, DecoderWarningsNameTheirFile) {
    Bytes truncated = makeJpeg(64, 48);
    truncated.resize(truncated.size() / 2);
    const std::string path = write("truncated.jpg", truncated);
    PictureSession session;
    const FileReport report = reportFile(session, path);
    EXPECT_FALSE(report.error);
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_EQ(warningLines(report), path + ": warning: " + report.warnings[0] + "\n");
    EXPECT_EQ(plainLine(report), path + ": 无法识别车牌！");

    const FileReport clean = reportFile(session, write("good.jpg", makeJpeg(64, 48)));
    EXPECT_TRUE(clean.warnings.empty());
    EXPECT_EQ(warningLines(clean), "");
}

TEST_F(CliFiles, BadFilesEachGiveTheirErrorWhileTheOthersAreRead) {
    Bytes truncatedJpeg = makeJpeg(64, 48);
    truncatedJpeg.resize(truncatedJpeg.size() / 2);
    Bytes truncatedBitmap = makeBitmap({.width = 64, .height = 48});
    truncatedBitmap.resize(100);
    Bytes offsetPastEnd = makeBitmap({.width = 64, .height = 48});
    putU32(offsetPastEnd, 10, static_cast<std::uint32_t>(offsetPastEnd.size() + 1));
    Bytes widthZero = makeBitmap({.width = 64, .height = 48});
    putU32(widthZero, 18, 0);
    constexpr std::int16_t most = 32767;
    const Bytes farCorners =
        withTrailer(makeJpeg(64, 48), 0xD0, {-most, -most, most, -most, -most, most, most, most});
    struct Case {
        std::string path;
        std::string result; // what follows "PATH: "
    };
    const std::vector<Case> cases = {
        {write("empty.jpg", {}), "error: "},
        {write("one-byte.bmp", {'B'}), "error: "},
        {write("truncated.bmp", truncatedBitmap), "error: Read bitmapfileheader error!"},
        {write("offset.bmp", offsetPastEnd), "error: Bad BMP pixel offset!"},
        {write("width-0.bmp", widthZero), "error: Bad BMP size!"},
        {write("width-0.jpg", withFrameSize(makeJpeg(16, 16), 16, 0)), "error: "},
        {write("far-corners.jpg", farCorners), "无法识别车牌！"},
        {write("good.bmp", makeBitmap({.width = 64, .height = 48})), "无法识别车牌！"},
        {write("tall.bmp", makeBitmap({.width = 1, .height = 405})),
         "error: picture too narrow for its height"},
        {write("cmyk.jpg", makeJpeg(8, 8, JpegKind::cmyk)), "error: Unsupported JPEG colour space"},
        {write("truncated.jpg", truncatedJpeg), "无法识别车牌！"},
        {write("good.jpg", makeJpeg(32767, 1, JpegKind::grey)), "无法识别车牌！"},
    };
    std::string arguments = "-j 2";
    for (const Case& c : cases) {
        arguments += " " + c.path;
    }
    const CliRun run = runCli(arguments);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string start = cases[i].path + ": " + cases[i].result;
        EXPECT_EQ(run.lines[i].rfind(start, 0), 0u) << run.lines[i];
        if (cases[i].result == "error: ") { // some message, whatever its words
            EXPECT_GT(run.lines[i].size(), start.size()) << run.lines[i];
        }
    }
}

// A folder stands for its pictures, told by content and sorted by name (its
// subfolders' too with -r); "-" for the names on standard input, where a folder
// stands for its pictures again.
TEST_F(CliFiles, FoldersAndStandardInputExpandToTheirPictures) {
    std::filesystem::create_directories(m_dir / "sub");
    const std::string broken = write("a-broken.jpg", Bytes{0xFF, 0xD8, 0x00, 0x12});
    const std::string good = write("b-good.bmp", makeBitmap({.width = 64, .height = 48}));
    write("c-notes.txt", Bytes{'p', 'l', 'a', 't', 'e'});
    const std::string inner = write("sub/d-good.jpg", makeJpeg(32, 24));
    const std::string folder = m_dir.string();
    const std::string unread = folder + "/missing.jpg";
    struct Case {
        std::string arguments;
        std::string input;
        std::vector<std::string> files; // in the order of the output lines
    };
    const std::vector<Case> cases = {
        {folder, "", {broken, good}},
        {"-r " + folder, "", {broken, good, inner}},
        {"-", unread + "\\n" + inner + "\\n\\n" + folder + "\\n", {unread, inner, broken, good}},
        {good + " - " + inner, broken + "\\n", {good, broken, inner}},
    };
    for (const Case& c : cases) {
        const CliRun run = runCli(c.arguments, c.input);
        EXPECT_EQ(run.status, 1) << c.arguments;
        ASSERT_EQ(run.lines.size(), c.files.size()) << c.arguments;
        for (std::size_t i = 0; i < c.files.size(); ++i) {
            EXPECT_EQ(run.lines[i].rfind(c.files[i] + ": ", 0), 0u) << run.lines[i];
        }
    }
}

// Width and height of a PNG file, from its header chunk.
std::pair<int, int> pngSize(const Bytes& file) {
    const std::array<std::uint8_t, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 24 || !std::equal(signature.begin(), signature.end(), file.begin())) {
        return {0, 0};
    }
    const auto bigEndian = [&](std::size_t at) {
        return file[at] << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
    };
    return {bigEndian(16), bigEndian(20)};
}

std::pair<int, int> jpegSize(const Bytes& file) {
    CDib picture;
    return picture.LoadJpegData(file) ? std::pair(picture.GetWidth(), picture.GetHeight())
                                      : std::pair(0, 0);
}

std::set<std::string> filesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// Each picture read goes into the folder (made with its parents) at its own
// size: a JPEG file as JPEG at its quality, anything else as PNG, under its name
// with the second of two like names numbered; a file not read gives none. The
// lines on standard output stay as they are without --annotate.
TEST_F(CliFiles, AnnotateWritesEachPictureReadInItsOwnFormat) {
    std::filesystem::create_directories(m_dir / "one");
    std::filesystem::create_directories(m_dir / "two");
    const std::vector<std::string> files = {
        write("one/car.jpg", makeJpeg(96, 64, JpegKind::colour, 70)),
        write("one/truck.bmp", makeBitmap({.width = 80, .height = 60})),
        write("two/car.bmp", makeBitmap({.width = 50, .height = 40})),
        write("two/photo", makeJpeg(40, 30, JpegKind::grey, 100)),
        write("two/broken.jpg", Bytes{0xFF, 0xD8, 0x00}),
    };
    std::string arguments = "-j 2";
    for (const std::string& file : files) {
        arguments += " " + file;
    }
    const std::filesystem::path out = m_dir / "out" / "annotated";
    const CliRun plain = runCli(arguments);
    const CliRun annotated = runCli("--annotate " + out.string() + " " + arguments);
    EXPECT_EQ(annotated.lines, plain.lines);
    EXPECT_EQ(annotated.status, 1); // the broken file
    EXPECT_EQ(annotated.errors, plain.errors);
    ASSERT_EQ(filesIn(out),
              (std::set<std::string>{"car.jpg", "truck.png", "car-2.png", "photo.jpg"}));
    EXPECT_EQ(jpegSize(contentOf(out / "car.jpg")), std::pair(96, 64));
    EXPECT_EQ(jpegQuality(contentOf(out / "car.jpg")), 70);
    EXPECT_EQ(pngSize(contentOf(out / "truck.png")), std::pair(80, 60));
    EXPECT_EQ(pngSize(contentOf(out / "car-2.png")), std::pair(50, 40));
    EXPECT_EQ(jpegQuality(contentOf(out / "photo.jpg")), 100);
}

// The output lines without their times.
std::vector<std::string> withoutTimes(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        nlohmann::json object = nlohmann::json::parse(line);
        object.erase("elapsed_ms");
        kept.push_back(object.dump());
    }
    return kept;
}

// A folder that cannot be made (below a regular file, or a regular file
// itself): one clear error, the results all the same, and status 1.
TEST_F(CliFiles, AnnotateIntoAFolderThatCannotBeMadeStillPrintsTheResults) {
    const std::string blocker = write("blocker", Bytes{'x'});
    const std::string good = write("good.bmp", makeBitmap({.width = 64, .height = 48}));
    const std::string jpeg = write("good.jpg", makeJpeg(64, 48));
    for (const std::string& folder : {blocker + "/annotated", blocker}) {
        const std::string annotate = "--annotate " + folder + " ";
        const CliRun run = runCli(annotate + good + " " + jpeg);
        EXPECT_EQ(run.status, 1) << folder;
        EXPECT_EQ(run.lines,
                  (std::vector<std::string>{good + ": 无法识别车牌！", jpeg + ": 无法识别车牌！"}));
        ASSERT_EQ(run.errors.size(), 1u) << folder;
        EXPECT_TRUE(
            startsWith(run.errors[0], "kavro-cli: cannot create the folder " + folder + ": "))
            << run.errors[0];
        const CliRun json = runCli("--json " + annotate + good + " " + jpeg);
        EXPECT_EQ(json.status, 1);
        EXPECT_EQ(withoutTimes(json.lines),
                  withoutTimes(runCli("--json " + good + " " + jpeg).lines));
    }
    EXPECT_EQ(contentOf(blocker), Bytes{'x'});
}

// The folder of the pictures themselves: a picture whose annotated twin would
// take its own name is left as it was, with an error naming it.
TEST_F(CliFiles, AnnotateNeverWritesOverThePictureRead) {
    const Bytes jpeg = makeJpeg(64, 48);
    const std::string picture = write("car.jpg", jpeg);
    const std::string bitmap = write("truck.bmp", makeBitmap({.width = 64, .height = 48}));
    const CliRun run = runCli("--annotate " + m_dir.string() + " " + picture + " " + bitmap);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.lines, (std::vector<std::string>{picture + ": 无法识别车牌！",
                                                   bitmap + ": 无法识别车牌！"}));
    ASSERT_EQ(run.errors.size(), 1u);
    EXPECT_TRUE(startsWith(run.errors[0], picture + ": error: ")) << run.errors[0];
    EXPECT_EQ(contentOf(picture), jpeg);
    EXPECT_EQ(pngSize(contentOf(m_dir / "truck.png")), std::pair(64, 48));
}

TEST(OrderedRunner, DeliversInInputOrderWhateverFinishesFirst) {
    std::vector<std::size_t> delivered;
    runInOrder(
        50, 4, [](std::size_t i) { return std::to_string(i); },
        [&](std::size_t i, const std::string& output) {
            EXPECT_EQ(output, std::to_string(i));
            delivered.push_back(i);
        });
    ASSERT_EQ(delivered.size(), 50u);
    EXPECT_TRUE(std::is_sorted(delivered.begin(), delivered.end()));
}

// A stop request ends the run with the inputs already taken, each delivered
// in order, and no later one.
TEST(OrderedRunner, StopsAfterTheInputsAlreadyTaken) {
    std::stop_source stop;
    std::atomic<std::size_t> ran{0};
    std::vector<std::size_t> delivered;
    runInOrder(
        1000, 2,
        [&](std::size_t i) {
            ++ran;
            while (i > 5 && !stop.stop_requested()) {
                std::this_thread::yield(); // later inputs wait for the request
            }
            return i;
        },
        [&](std::size_t i, std::size_t output) {
            EXPECT_EQ(output, i);
            delivered.push_back(i);
            if (i == 5) {
                stop.request_stop();
            }
        },
        stop.get_token());
    ASSERT_GE(delivered.size(), 6u);
    EXPECT_LT(delivered.size(), 1000u);
    EXPECT_EQ(delivered.size(), ran.load()); // every input taken was delivered
    for (std::size_t i = 0; i < delivered.size(); ++i) {
        EXPECT_EQ(delivered[i], i);
    }
}

TEST_F(CliFiles, FolderPicturesAreToldByContentOrNameAndSortedByName) {
    write("b-bitmap.dat", makeBitmap({.width = 8, .height = 8}));
    write("a-photo.JPG", makeJpeg(8, 8));
    write("c-jpeg", makeJpeg(8, 8));
    write("d-damaged.jpeg", Bytes{'n', 'o'});
    write("notes.txt", Bytes{'h', 'i'});
    write("empty", Bytes{});
    std::filesystem::create_directories(m_dir / "e-folder.jpg");
    const FolderPictures listing = picturesInFolder(m_dir, false);
    EXPECT_FALSE(listing.error);
    EXPECT_EQ(listing.pictures,
              (std::vector<std::filesystem::path>{m_dir / "a-photo.JPG", m_dir / "b-bitmap.dat",
                                                  m_dir / "c-jpeg", m_dir / "d-damaged.jpeg"}));

    const FolderPictures missing = picturesInFolder(m_dir / "missing", false);
    EXPECT_TRUE(missing.pictures.empty());
    EXPECT_TRUE(missing.error);
}

} // namespace
