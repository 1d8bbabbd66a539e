#include "app/desktop/batch_table.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

FileReport readFile(std::string file, std::vector<PlateReport> plates, double ms) {
    FileReport report;
    report.file = std::move(file);
    report.plates = std::move(plates);
    report.elapsedMs = ms;
    return report;
}

FileReport unreadFile(std::string file, std::string error) {
    FileReport report;
    report.file = std::move(file);
    report.error = std::move(error);
    return report;
}

const PlateReport blue{"浙B12345", 1, "小型汽车 - 蓝底白字", 93, {}};
const PlateReport yellow{"沪A6789学", 2, "教练车 - 黄底黑字", 71, {}};

TEST(BatchTable, RowsSayWhatWasRead) {
    struct Case {
        FileReport report;
        BatchRow row;
    };
    const Case cases[] = {
        {readFile("/p/one.jpg", {blue}, 3.04),
         {"/p/one.jpg", "浙B12345", "小型汽车 - 蓝底白字", "93", "3.0"}},
        {readFile("/p/two.jpg", {yellow, blue}, 12.26),
         {"/p/two.jpg", "沪A6789学; 浙B12345", "教练车 - 黄底黑字; 小型汽车 - 蓝底白字", "71; 93",
          "12.3"}},
        {readFile("/p/none.bmp", {}, 1), {"/p/none.bmp", "无法识别车牌！", "", "", "1.0"}},
        {unreadFile("/p/bad.jpg", "Not a BMP file!"),
         {"/p/bad.jpg", "错误：Not a BMP file!", "", "", "0.0"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(batchRowOf(c.report), c.row) << c.report.file;
    }
}

TEST(BatchTable, CsvQuotesWhatNeedsQuotingAndEndsLinesWithCrLf) {
    const std::vector<FileReport> reports = {
        readFile("/p/a,b.jpg", {blue}, 2),
        readFile("/p/say \"cheese\".jpg", {}, 4),
        unreadFile("/p/line\nbreak.jpg", "Can not open the file!"),
    };
    EXPECT_EQ(csvOf(reports).toStdString(),
              "文件,车牌,类型,置信度,用时 (ms)\r\n"
              "\"/p/a,b.jpg\",浙B12345,小型汽车 - 蓝底白字,93,2.0\r\n"
              "\"/p/say \"\"cheese\"\".jpg\",无法识别车牌！,,,4.0\r\n"
              "\"/p/line\nbreak.jpg\",错误：Can not open the file!,,,0.0\r\n");
}

} // namespace
