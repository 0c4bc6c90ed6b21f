// The steps of the conversions, each given an output buffer with guard values
// behind the space it is allowed to use: a step must never write past its
// capacity, and a conversion that fits ends with its terminator.
#include "encoding/code_page.h"
#include "tests/unit/encoding/encoding_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cc {
namespace {

using namespace code_page_steps;
using testing_support::BufferFromHex;
using testing_support::FromHex;
using testing_support::ToHex;

constexpr wchar_t kGuardUnit = 0xCCCC;
constexpr char kGuardByte = '\xCC';
constexpr int kGuardLength = 8;

struct DecodeCase {
    int line;
    const char* text;
    UINT codePage;
    std::vector<wchar_t> expected;  // terminator included
};

TEST(GuardedConversionSteps, DecodeIntoWritesNoMoreThanItsCapacity) {
    const DecodeCase cases[] = {
        {__LINE__, "", 936, {0}},
        {__LINE__, "61 62 63", 936, {0x61, 0x62, 0x63, 0}},
        {__LINE__, "BB B6 D3 AD C4 FA", 936, {0x6B22, 0x8FCE, 0x60A8, 0}},
        {__LINE__, "E6 AC A2 E8 BF 8E E6 82 A8", 65001, {0x6B22, 0x8FCE, 0x60A8, 0}},
        {__LINE__, "F0 9F 98 80", 65001, {0xD83D, 0xDE00, 0}},
    };
    const ConversionFunctions& platform = SystemConversionFunctions();
    for (const DecodeCase& c : cases) {
        const Text text = FromHex(c.text);
        const int needed = static_cast<int>(c.expected.size());
        EXPECT_EQ(CountWideUnits(platform, c.codePage, text.c_str()), needed) << "case at line " << c.line;
        for (int capacity = 1; capacity <= needed + 2; ++capacity) {
            SCOPED_TRACE(::testing::Message() << "case at line " << c.line << ", capacity " << capacity);
            std::vector<wchar_t> output(static_cast<size_t>(capacity + kGuardLength), kGuardUnit);
            const int written = DecodeInto(platform, c.codePage, text.c_str(), output.data(), capacity);
            for (size_t i = static_cast<size_t>(capacity); i < output.size(); ++i) {
                ASSERT_EQ(output[i], kGuardUnit) << "unit " << i << " written past the capacity";
            }
            if (capacity >= needed) {
                ASSERT_EQ(written, needed);
                EXPECT_EQ(std::vector<wchar_t>(output.begin(), output.begin() + needed), c.expected);
            } else {
                EXPECT_EQ(written, 0) << "a conversion that does not fit reports 0";
            }
        }
    }
}

struct EncodeCase {
    int line;
    std::vector<wchar_t> units;  // terminator included
    UINT codePage;
    const char* expected;        // without the terminator
};

TEST(GuardedConversionSteps, EncodeIntoWritesNoMoreThanItsCapacity) {
    const EncodeCase cases[] = {
        {__LINE__, {0}, 65001, ""},
        {__LINE__, {0x61, 0x62, 0x63, 0}, 65001, "61 62 63"},
        {__LINE__, {0x6B22, 0x8FCE, 0x60A8, 0}, 65001, "E6 AC A2 E8 BF 8E E6 82 A8"},
        {__LINE__, {0x6B22, 0x8FCE, 0x60A8, 0}, 936, "BB B6 D3 AD C4 FA"},
        {__LINE__, {0xD83D, 0xDE00, 0}, 65001, "F0 9F 98 80"},
    };
    const ConversionFunctions& platform = SystemConversionFunctions();
    for (const EncodeCase& c : cases) {
        const std::string expected = FromHex(c.expected);
        const int needed = static_cast<int>(expected.size()) + 1;
        EXPECT_EQ(CountBytes(platform, c.codePage, c.units.data()), needed) << "case at line " << c.line;
        for (int capacity = 1; capacity <= needed + 2; ++capacity) {
            SCOPED_TRACE(::testing::Message() << "case at line " << c.line << ", capacity " << capacity);
            std::string output(static_cast<size_t>(capacity + kGuardLength), kGuardByte);
            const int written = EncodeInto(platform, c.codePage, c.units.data(), output.data(), capacity);
            for (size_t i = static_cast<size_t>(capacity); i < output.size(); ++i) {
                ASSERT_EQ(output[i], kGuardByte) << "byte " << i << " written past the capacity";
            }
            if (capacity >= needed) {
                ASSERT_EQ(written, needed);
                EXPECT_EQ(ToHex(output.substr(0, expected.size())), c.expected);
                EXPECT_EQ(output[expected.size()], '\0') << "missing terminator";
            } else {
                EXPECT_EQ(written, 0) << "a conversion that does not fit reports 0";
            }
        }
    }
}

TEST(GuardedConversionSteps, ZeroTerminatedUnitsStopAtTheFirstZeroOrTheEnd) {
    const struct {
        int line;
        const char* buffer;
        std::vector<wchar_t> expected;
    } cases[] = {
        {__LINE__, "", {0}},
        {__LINE__, "00 00", {0}},
        {__LINE__, "61", {0}},
        {__LINE__, "61 00", {0x61, 0}},
        {__LINE__, "61 00 62", {0x61, 0}},
        {__LINE__, "61 00 00 00 62 00", {0x61, 0}},
        {__LINE__, "22 6B CE 8F", {0x6B22, 0x8FCE, 0}},
        {__LINE__, "00 61 61 00", {0x6100, 0x0061, 0}},  // a zero byte is no zero unit
        {__LINE__, "FF FF 00 00 FF FF", {0xFFFF, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ZeroTerminatedUnits(BufferFromHex(c.buffer)), c.expected) << "case at line " << c.line;
    }
}

}  // namespace
}  // namespace cc
