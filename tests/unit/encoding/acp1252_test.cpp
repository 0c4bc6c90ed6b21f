// The conversions on a system whose ANSI code page is the single-byte 1252:
// the output is still sized from the ANSI count, which there no longer fits
// every requested code page.
#include "encoding/code_page.h"
#include "encoding/url_encode.h"
#include "tests/unit/encoding/encoding_test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace cc {
namespace {

using testing_support::BufferFromHex;
using testing_support::Describe;
using testing_support::FromHex;
using testing_support::RecordingPlatform;
using testing_support::ToHex;

using testing_support::kWelcomeGbk;
using testing_support::kWelcomeUtf8;
using testing_support::kWelcomeWide;

class AnsiCodePage1252 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing_support::SystemAnsiCodePage(), 1252u)
            << "these tests describe a system whose ANSI code page is 1252; run them with "
               "CONFESSION_ACP=1252 in the environment of the Wine launcher";
    }
};

TEST_F(AnsiCodePage1252, AnsiToWideIsSizedByTheSingleByteCount) {
    struct Case {
        int line;
        const char* text;
        std::optional<UINT> codePage;
        const char* expected;
    };
    const Case cases[] = {
        // Six bytes count 7 units in code page 1252; GBK makes three of them.
        {__LINE__, kWelcomeGbk, 936, "22 6B CE 8F A8 60 00 00 00 00 00 00 00 00"},
        {__LINE__, "BB B6", 936, "22 6B 00 00 00 00"},
        // Without a code page: UTF-8, in a buffer of the single-byte count.
        {__LINE__, "C3 A9", std::nullopt, "E9 00 00 00 00 00"},
        {__LINE__, kWelcomeUtf8, std::nullopt, "22 6B CE 8F A8 60 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        // A supplied 0: every byte is a character of code page 1252.
        {__LINE__, "C3 A9", 0, "C3 00 A9 00 00 00"},
        {__LINE__, "80", 0, "AC 20 00 00"},
        {__LINE__, kWelcomeGbk, 0, "BB 00 B6 00 D3 00 AD 00 C4 00 FA 00 00 00"},
        {__LINE__, "", 936, "00 00"},
        {__LINE__, "", std::nullopt, "00 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        EXPECT_EQ(ToHex(AnsiToWide(FromHex(c.text), c.codePage)), c.expected);
    }
}

TEST_F(AnsiCodePage1252, WideToAnsiIntoUtf8GivesTheWholeText) {
    struct Case {
        int line;
        const char* wide;
        std::optional<UINT> codePage;
        const char* expected;
    };
    const Case cases[] = {
        // Three Chinese characters count 4 bytes ("???" and the terminator):
        // 8 bytes of room for 10.
        {__LINE__, kWelcomeWide, 65001, kWelcomeUtf8},
        // One character: 4 bytes of room, exactly enough.
        {__LINE__, "22 6B 00 00", 65001, "E6 AC A2"},
        // Two: 6 bytes of room for 7.
        {__LINE__, "22 6B CE 8F 00 00", 65001, "E6 AC A2 E8 BF 8E"},
        {__LINE__, "61 00 22 6B 62 00 CE 8F 00 00", 65001, "61 E6 AC A2 62 E8 BF 8E"},
        {__LINE__, "3D D8 00 DE 3D D8 01 DE 00 00", 65001, "F0 9F 98 80 F0 9F 98 81"},
        // Into GBK: two bytes per character, which twice the count covers.
        {__LINE__, kWelcomeWide, 936, kWelcomeGbk},
        // The system's own code page has no Chinese: its default character.
        {__LINE__, kWelcomeWide, std::nullopt, "3F 3F 3F"},
        {__LINE__, kWelcomeWide, 0, "3F 3F 3F"},
        {__LINE__, "E9 00 00 00", std::nullopt, "E9"},
        {__LINE__, "E9 00 00 00", 65001, "C3 A9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        EXPECT_EQ(ToHex(WideToAnsi(BufferFromHex(c.wide), c.codePage)), c.expected);
    }
}

TEST_F(AnsiCodePage1252, ManyChineseCharactersIntoUtf8) {
    // 欢迎您 ten times: 30 characters count 31 bytes, 62 bytes of room for 91.
    std::string wide;
    std::string utf8;
    for (int i = 0; i < 10; ++i) {
        wide += FromHex("22 6B CE 8F A8 60");
        utf8 += FromHex(kWelcomeUtf8);
    }
    wide += FromHex("00 00");
    RecordingPlatform platform;
    const Text text = WideToAnsi(ByteBufferOf(wide), 65001, platform.Functions());
    EXPECT_EQ(ToHex(text), ToHex(utf8));
    ASSERT_EQ(platform.calls.size(), 4u) << Describe(platform.calls);
    EXPECT_EQ(platform.calls[1].capacity, 62) << "the first conversion gets twice the ANSI count";
    EXPECT_EQ(platform.calls[3].capacity, 91) << "the second one the count in UTF-8";
}

TEST_F(AnsiCodePage1252, WelcomeNameStillReachesTheServiceAsUtf8) {
    EXPECT_EQ(ToHex(AnsiToUtf8(FromHex(kWelcomeGbk))), kWelcomeUtf8);
    EXPECT_EQ(UrlEncode(FromHex(kWelcomeGbk), std::nullopt, true), "%E6%AC%A2%E8%BF%8E%E6%82%A8");
    EXPECT_EQ(UrlEncode(FromHex("D5 C5"), std::nullopt, true), "%E5%BC%A0");
}

// On a single-byte system every byte counts one unit, and UTF-8 never reads
// more units than bytes: decoding as UTF-8 always fits the ANSI count here,
// and only the two calls are made. (Where UTF-8 needs more, on a system whose
// ANSI code page is 936, the encoding tests of that system check the mend.)
TEST_F(AnsiCodePage1252, DecodingAsUtf8AlwaysFitsTheSingleByteCount) {
    const char* texts[] = {kWelcomeGbk, kWelcomeUtf8, "C3", "F0 9F 98 80", "FF FE 80 81", "61 62 63", "ED A0 80"};
    for (const char* hex : texts) {
        SCOPED_TRACE(hex);
        RecordingPlatform platform;
        const Text text = FromHex(hex);
        const ByteBuffer wide = AnsiToWide(text, std::nullopt, platform.Functions());
        EXPECT_EQ(platform.calls.size(), 2u) << Describe(platform.calls);
        EXPECT_EQ(static_cast<size_t>(wide.Length()), 2 * (text.size() + 1));
    }
}

}  // namespace
}  // namespace cc
