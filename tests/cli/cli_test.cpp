#include "file_report.h"
#include "image/test_pictures.h"
#include "ordered_runner.h"
#include "support/temp_path.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace {

struct CliRun {
    int status;
    std::vector<std::string> lines;
};

CliRun runCli(const std::string& arguments) {
    const std::string command = std::string(KAVRO_CLI) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    CliRun run{};
    std::string line;
    std::array<char, 4096> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe)) {
        line += buffer.data();
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            run.lines.push_back(line);
            line.clear();
        }
    }
    run.status = WEXITSTATUS(pclose(pipe));
    return run;
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
    EXPECT_EQ(runCli("--classifier svm x.jpg").status, 2);
    EXPECT_EQ(runCli("--help").status, 0);
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
        {m_dir.string(), "error: Can not open the file!"},
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

} // namespace
