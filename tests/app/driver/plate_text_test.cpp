#include "app/driver/plate_text.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kavro;

namespace {

RecognitionResult onePlate(int format, const std::vector<std::uint8_t>& codes) {
    RecognitionResult result{};
    result.count = 1;
    result.formatIndex[0] = format;
    std::copy(codes.begin(), codes.end(), result.text[0].begin());
    return result;
}

TEST(PlateText, NumberUsesTheDisplayCharacters) {
    const auto result = onePlate(1, {0x8A, 'B', '1', '2', '3', '4', '5'});
    EXPECT_EQ(plateNumberText(result, 0), "浙B12345");
    EXPECT_EQ(plateTypeText(result, 0), "小型汽车 - 蓝底白字");
    EXPECT_EQ(plateNumberText(onePlate(1, {0xA5, 'a', 0x7F, '0'}), 0), "渣??0");
}

TEST(PlateText, TypeFollowsTheFormat) {
    struct Case {
        int format;
        std::vector<std::uint8_t> codes;
        const char* type;
    };
    const Case cases[] = {
        {2, {0x80, 'A', '1', '2', '3', '4', 0xA3}, "教练车 - 黄底黑字"},
        {2, {0x80, 'A', '1', '2', '3', '4', '5'}, "大型汽车 - 黄底黑字"},
        {3, {0x80, 'A', 0xA3}, "教练车 - 黄底黑字"},
        {2, {}, "大型汽车 - 黄底黑字"},
        {4, {0xA5, 'A', '1'}, "渣土车 - 黄底黑字"},
        {5, {0x80, 'A', 'D'}, "新能源汽车 - 绿底黑字"},
        {7, {0x80, 'A', 0xA4}, "警车 - 白底黑字"},
        {0, {0x80}, ""},
        {6, {0x80}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plateTypeText(onePlate(c.format, c.codes), 0), c.type) << c.format;
    }
}

} // namespace
