// AnsiToWide, WideToAnsi and AnsiToUtf8 on a system whose ANSI code page is 936.
#include "encoding/code_page.h"
#include "tests/unit/encoding/encoding_test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace cc {
namespace {

using testing_support::BufferFromHex;
using testing_support::Describe;
using testing_support::FromHex;
using testing_support::PlatformCall;
using testing_support::RecordingPlatform;
using testing_support::ToHex;

using Function = PlatformCall::Function;

using testing_support::kWelcomeGbk;
using testing_support::kWelcomeUtf8;
using testing_support::kWelcomeWide;

class AnsiCodePage936 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing_support::SystemAnsiCodePage(), 936u)
            << "these tests describe a system whose ANSI code page is 936 (GBK); run them with the "
               "Chinese locale of the test environment";
    }
};

TEST_F(AnsiCodePage936, AnsiToWideDecodesInTheRequestedCodePage) {
    struct Case {
        int line;
        const char* text;
        std::optional<UINT> codePage;
        const char* expected;
    };
    const Case cases[] = {
        {__LINE__, kWelcomeGbk, 936, kWelcomeWide},
        // A supplied 0 is the ANSI code page itself.
        {__LINE__, kWelcomeGbk, 0, kWelcomeWide},
        {__LINE__, "D5 C5", 936, "20 5F 00 00"},
        {__LINE__, "80", 936, "AC 20 00 00"},
        {__LINE__, "61 62 63", std::nullopt, "61 00 62 00 63 00 00 00"},
        {__LINE__, "61 62 63", 936, "61 00 62 00 63 00 00 00"},
        // Without a code page the text is read as UTF-8.
        {__LINE__, "C3 A9", std::nullopt, "E9 00 00 00"},
        {__LINE__, "C3 A9", 0, "05 83 00 00"},  // read as GBK: U+8305
        // The buffer is as long as the ANSI count (6: four pairs, the lone lead
        // byte A8 and the terminator), the UTF-8 reading needs only 4 units;
        // the rest is zero.
        {__LINE__, kWelcomeUtf8, std::nullopt, "22 6B CE 8F A8 60 00 00 00 00 00 00"},
        // GBK read as UTF-8 gives more units (6) than the ANSI count (4): the
        // whole reading is returned, each malformed byte a U+FFFD, and D3 AD
        // happens to be a well-formed UTF-8 pair (U+04ED).
        {__LINE__, kWelcomeGbk, std::nullopt, "FD FF FD FF ED 04 FD FF FD FF 00 00"},
        {__LINE__, kWelcomeGbk, 65001, "FD FF FD FF ED 04 FD FF FD FF 00 00"},
        // The ANSI count is 3 (a pair, a lone lead byte, the terminator); UTF-8
        // gives three U+FFFD and the zero unit. (Wine's reading fits the three
        // U+FFFD into 3 units and drops the terminator behind a truncated
        // three-byte sequence; the zero unit is added all the same.)
        {__LINE__, "BB B6 E6", std::nullopt, "FD FF FD FF FD FF 00 00"},
        // An empty text: the zero unit alone, in every code page.
        {__LINE__, "", std::nullopt, "00 00"},
        {__LINE__, "", 0, "00 00"},
        {__LINE__, "", 936, "00 00"},
        {__LINE__, "", 65001, "00 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        const Text text = FromHex(c.text);
        const ByteBuffer wide = AnsiToWide(text, c.codePage);
        EXPECT_EQ(ToHex(wide), c.expected);
        EXPECT_EQ(text, FromHex(c.text)) << "the caller's text changed";
    }
}

TEST_F(AnsiCodePage936, WideToAnsiEncodesUpToTheFirstZeroUnit) {
    struct Case {
        int line;
        const char* wide;
        std::optional<UINT> codePage;
        const char* expected;
    };
    const Case cases[] = {
        {__LINE__, kWelcomeWide, 65001, kWelcomeUtf8},
        // Without a code page, and with a supplied 0: the ANSI code page.
        {__LINE__, kWelcomeWide, std::nullopt, kWelcomeGbk},
        {__LINE__, kWelcomeWide, 0, kWelcomeGbk},
        {__LINE__, kWelcomeWide, 936, kWelcomeGbk},
        {__LINE__, "20 5F 00 00", std::nullopt, "D5 C5"},
        {__LINE__, "AC 20 00 00", std::nullopt, "80"},
        {__LINE__, "AC 20 00 00", 65001, "E2 82 AC"},
        {__LINE__, "61 00 62 00 63 00 00 00", 65001, "61 62 63"},
        // Whatever follows the first zero unit is not read.
        {__LINE__, "22 6B 00 00 CE 8F 00 00", 65001, "E6 AC A2"},
        {__LINE__, "61 00 00 00 62 00 00 00", std::nullopt, "61"},
        // A buffer without a zero unit is converted up to its end; an odd last
        // byte is no unit.
        {__LINE__, "61 00 62 00", std::nullopt, "61 62"},
        {__LINE__, "22 6B CE 8F", 65001, "E6 AC A2 E8 BF 8E"},
        {__LINE__, "61 00 62", std::nullopt, "61"},
        {__LINE__, "61", std::nullopt, ""},
        // A character outside the BMP, as a surrogate pair.
        {__LINE__, "3D D8 00 DE 00 00", 65001, "F0 9F 98 80"},
        // Empty buffers.
        {__LINE__, "", std::nullopt, ""},
        {__LINE__, "", 65001, ""},
        {__LINE__, "00 00", std::nullopt, ""},
        {__LINE__, "00 00 00 00", 65001, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        const ByteBuffer wide = BufferFromHex(c.wide);
        EXPECT_EQ(ToHex(WideToAnsi(wide, c.codePage)), c.expected);
        EXPECT_EQ(ToHex(wide), c.wide) << "the caller's buffer changed";
    }
}

// A buffer without a zero unit is read up to its length and no further: the
// storage behind it holds more units and a zero unit, which must not show.
TEST_F(AnsiCodePage936, WideToAnsiNeverReadsPastTheBuffersLength) {
    struct Case {
        int line;
        const char* stored;  // what the storage holds
        size_t length;       // how much of it is the buffer
        const char* expected;
    };
    const Case cases[] = {
        {__LINE__, "61 00 62 00 63 00 00 00", 4, "61 62"},
        {__LINE__, "61 00 62 00 63 00 00 00", 3, "61"},
        {__LINE__, "22 6B CE 8F A8 60 00 00", 4, "BB B6 D3 AD"},
        {__LINE__, "61 00 00 00", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        std::vector<uint8_t> bytes = testing_support::BytesFromHex(c.stored);
        bytes.resize(c.length);  // keeps the storage and what lies in it
        const uint8_t* storage = bytes.data();
        const ByteBuffer wide(std::move(bytes));
        ASSERT_TRUE(c.length == 0 || wide.Bytes().data() == storage) << "the buffer did not keep the storage";
        EXPECT_EQ(ToHex(WideToAnsi(wide)), c.expected);
        EXPECT_EQ(ToHex(WideToAnsi(wide, 65001)), ToHex(AnsiToUtf8(FromHex(c.expected))));
    }
}

TEST_F(AnsiCodePage936, AnsiToUtf8GivesTheSameCharactersInUtf8) {
    struct Case {
        int line;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {__LINE__, kWelcomeGbk, kWelcomeUtf8},
        {__LINE__, "D5 C5", "E5 BC A0"},
        {__LINE__, "61 BB B6 62", "61 E6 AC A2 62"},
        {__LINE__, "80", "E2 82 AC"},
        {__LINE__, "A1 A2", "E3 80 81"},
        {__LINE__, "A3 A1", "EF BC 81"},
        {__LINE__, "", ""},
        {__LINE__, "61 62 63", "61 62 63"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        const Text text = FromHex(c.text);
        EXPECT_EQ(ToHex(AnsiToUtf8(text)), c.expected);
        EXPECT_EQ(text, FromHex(c.text)) << "the caller's text changed";
    }
}

TEST_F(AnsiCodePage936, AnsiToUtf8KeepsEveryAsciiByte) {
    for (int byte = 0x01; byte <= 0x7F; ++byte) {
        const Text text(1, static_cast<char>(byte));
        EXPECT_EQ(AnsiToUtf8(text), text) << "byte " << byte;
    }
    std::string all;
    for (int byte = 0x01; byte <= 0x7F; ++byte) all.push_back(static_cast<char>(byte));
    EXPECT_EQ(AnsiToUtf8(all), all);
}

// The worked example step by step: the calls that are made, with their code
// pages and output sizes, and the intermediate buffer.
TEST_F(AnsiCodePage936, AnsiToUtf8CountsThenConvertsInBothDirections) {
    RecordingPlatform platform;
    const Text utf8 = AnsiToUtf8(FromHex(kWelcomeGbk), platform.Functions());
    EXPECT_EQ(ToHex(utf8), kWelcomeUtf8);

    struct Expected {
        Function function;
        UINT codePage;
        bool hasTarget;
        int capacity;
    };
    const Expected expected[] = {
        {Function::kMultiByteToWideChar, 0, false, 0},     // ANSI count: 4 units
        {Function::kMultiByteToWideChar, 936, true, 4},    // 8 bytes
        {Function::kWideCharToMultiByte, 0, false, 0},     // ANSI count: 7 bytes
        {Function::kWideCharToMultiByte, 65001, true, 14}, // twice the count
    };
    ASSERT_EQ(platform.calls.size(), std::size(expected)) << Describe(platform.calls);
    for (size_t i = 0; i < std::size(expected); ++i) {
        const PlatformCall& call = platform.calls[i];
        SCOPED_TRACE(::testing::Message() << "call " << i << ": " << Describe(call));
        EXPECT_EQ(call.function, expected[i].function);
        EXPECT_EQ(call.codePage, expected[i].codePage);
        EXPECT_EQ(call.hasTarget, expected[i].hasTarget);
        EXPECT_EQ(call.capacity, expected[i].capacity);
        EXPECT_EQ(call.flags, 0u);
        EXPECT_EQ(call.sourceLength, -1);
        EXPECT_FALSE(call.defaultCharGiven);
        EXPECT_FALSE(call.usedDefaultCharGiven);
    }

}

// Which code page the converting call uses: a missing argument takes the
// default, a supplied 0 stays 0.
TEST_F(AnsiCodePage936, DefaultsApplyOnlyWhenTheCodePageIsMissing) {
    struct Case {
        int line;
        bool toWide;
        std::optional<UINT> supplied;
        UINT used;
    };
    const Case cases[] = {
        {__LINE__, true, std::nullopt, 65001},
        {__LINE__, true, 0, 0},
        {__LINE__, true, 936, 936},
        {__LINE__, true, 65001, 65001},
        {__LINE__, false, std::nullopt, 0},
        {__LINE__, false, 0, 0},
        {__LINE__, false, 936, 936},
        {__LINE__, false, 65001, 65001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        RecordingPlatform platform;
        if (c.toWide) {
            AnsiToWide("abc", c.supplied, platform.Functions());
        } else {
            WideToAnsi(BufferFromHex("61 00 62 00 00 00"), c.supplied, platform.Functions());
        }
        ASSERT_EQ(platform.calls.size(), 2u) << Describe(platform.calls);
        EXPECT_EQ(platform.calls[0].codePage, 0u) << "the count is always made in the ANSI code page";
        EXPECT_EQ(platform.calls[1].codePage, c.used);
    }
}

// The output is sized from the ANSI count alone: a larger count gives a longer
// buffer, zero-filled behind the text, and never leaves a working space in a
// text.
TEST_F(AnsiCodePage936, OutputIsSizedFromTheAnsiCount) {
    struct Case {
        int line;
        const char* text;
        UINT codePage;
        int ansiCount;
        const char* expected;
    };
    const Case cases[] = {
        {__LINE__, "61 62 63", 936, 4, "61 00 62 00 63 00 00 00"},
        {__LINE__, "61 62 63", 936, 6, "61 00 62 00 63 00 00 00 00 00 00 00"},
        {__LINE__, kWelcomeGbk, 936, 7, "22 6B CE 8F A8 60 00 00 00 00 00 00 00 00"},
        {__LINE__, "", 65001, 3, "00 00 00 00 00 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        RecordingPlatform platform;
        platform.ansiCount = c.ansiCount;
        EXPECT_EQ(ToHex(AnsiToWide(FromHex(c.text), c.codePage, platform.Functions())), c.expected);
        ASSERT_EQ(platform.calls.size(), 2u) << Describe(platform.calls);
        EXPECT_EQ(platform.calls[1].capacity, c.ansiCount);
    }

    const struct {
        int line;
        const char* wide;
        UINT codePage;
        int ansiCount;
        const char* expected;
    } toText[] = {
        {__LINE__, kWelcomeWide, 65001, 5, kWelcomeUtf8},   // 10 bytes of room for 9 + 1
        {__LINE__, kWelcomeWide, 65001, 20, kWelcomeUtf8},  // many spaces left, none returned
        {__LINE__, "61 00 00 00", 0, 8, "61"},
    };
    for (const auto& c : toText) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        RecordingPlatform platform;
        platform.ansiCount = c.ansiCount;
        EXPECT_EQ(ToHex(WideToAnsi(BufferFromHex(c.wide), c.codePage, platform.Functions())), c.expected);
        ASSERT_EQ(platform.calls.size(), 2u) << Describe(platform.calls);
        EXPECT_EQ(platform.calls[1].capacity, 2 * c.ansiCount);
    }
}

// When the ANSI count is too small for the requested code page, the platform
// refuses the conversion; the routines then count in the requested code page
// and convert again, and the caller gets the whole conversion.
TEST_F(AnsiCodePage936, TooSmallAnsiCountStillGivesTheWholeConversion) {
    const struct {
        int line;
        const char* text;
        UINT codePage;
        int ansiCount;
        const char* expected;
    } toWide[] = {
        {__LINE__, "61 62 63", 65001, 2, "61 00 62 00 63 00 00 00"},
        {__LINE__, kWelcomeGbk, 936, 1, kWelcomeWide},
        {__LINE__, kWelcomeGbk, 936, 0, kWelcomeWide},
        {__LINE__, kWelcomeGbk, 936, -5, kWelcomeWide},
    };
    for (const auto& c : toWide) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        RecordingPlatform platform;
        platform.ansiCount = c.ansiCount;
        EXPECT_EQ(ToHex(AnsiToWide(FromHex(c.text), c.codePage, platform.Functions())), c.expected);
        const PlatformCall& last = platform.calls.back();
        EXPECT_EQ(last.codePage, c.codePage) << Describe(platform.calls);
        EXPECT_TRUE(last.hasTarget) << Describe(platform.calls);
    }

    const struct {
        int line;
        const char* wide;
        UINT codePage;
        int ansiCount;
        const char* expected;
    } toText[] = {
        {__LINE__, kWelcomeWide, 65001, 4, kWelcomeUtf8},  // 8 bytes of room for 10
        {__LINE__, kWelcomeWide, 65001, 1, kWelcomeUtf8},
        {__LINE__, kWelcomeWide, 936, 0, kWelcomeGbk},
        {__LINE__, "3D D8 00 DE 00 00", 65001, 2, "F0 9F 98 80"},
    };
    for (const auto& c : toText) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        RecordingPlatform platform;
        platform.ansiCount = c.ansiCount;
        const Text text = WideToAnsi(BufferFromHex(c.wide), c.codePage, platform.Functions());
        EXPECT_EQ(ToHex(text), c.expected) << Describe(platform.calls);
    }
}

// The real platform, not a simulated count: GBK text read as UTF-8 needs more
// units than the ANSI count gives room for.
TEST_F(AnsiCodePage936, TooSmallAnsiCountIsMendedOnTheRealPlatform) {
    RecordingPlatform platform;
    const ByteBuffer wide = AnsiToWide(FromHex(kWelcomeGbk), 65001, platform.Functions());
    EXPECT_EQ(ToHex(wide), "FD FF FD FF ED 04 FD FF FD FF 00 00");
    ASSERT_EQ(platform.calls.size(), 4u) << Describe(platform.calls);
    EXPECT_EQ(platform.calls[1].capacity, 4) << "the first conversion gets the ANSI count";
    EXPECT_EQ(platform.calls[2].codePage, 65001u) << "then the text is counted in its own code page";
    EXPECT_EQ(platform.calls[3].capacity, 6);
}

// A buffer from AnsiToWide always holds a zero unit, even when the platform
// answers nothing at all; WideToAnsi then gives an empty text.
TEST_F(AnsiCodePage936, AFailingPlatformStillGivesATerminatedBuffer) {
    for (const char* text : {"", "61 62 63", kWelcomeGbk}) {
        SCOPED_TRACE(text);
        RecordingPlatform platform;
        platform.failEveryCall = true;
        const ByteBuffer wide = AnsiToWide(FromHex(text), 936, platform.Functions());
        EXPECT_EQ(ToHex(wide), "00 00");
        EXPECT_EQ(WideToAnsi(BufferFromHex(kWelcomeWide), 65001, platform.Functions()), "");
    }
}

TEST_F(AnsiCodePage936, EveryPlatformCallIsZeroTerminatedWithoutFlagsOrDefaultCharacter) {
    RecordingPlatform platform;
    AnsiToWide(FromHex(kWelcomeGbk), std::nullopt, platform.Functions());  // mended: 4 calls
    WideToAnsi(BufferFromHex(kWelcomeWide), std::nullopt, platform.Functions());
    AnsiToUtf8(FromHex(kWelcomeGbk), platform.Functions());
    ASSERT_EQ(platform.calls.size(), 10u) << Describe(platform.calls);
    for (const PlatformCall& call : platform.calls) {
        SCOPED_TRACE(Describe(call));
        EXPECT_EQ(call.flags, 0u);
        EXPECT_EQ(call.sourceLength, -1);
        EXPECT_FALSE(call.defaultCharGiven);
        EXPECT_FALSE(call.usedDefaultCharGiven);
        EXPECT_EQ(call.hasTarget, call.capacity > 0);
    }
}

TEST_F(AnsiCodePage936, BuffersFromAnsiToWideAreEvenZeroTerminatedAndZeroBehind) {
    const char* texts[] = {"", "61", "BB B6 D3 AD C4 FA", "BB", "61 81", "81 7F", "FF FE FD", "E6 AC A2 E8"};
    for (const char* hex : texts) {
        for (const std::optional<UINT> codePage : {std::optional<UINT>(), std::optional<UINT>(0),
                                                  std::optional<UINT>(936), std::optional<UINT>(65001)}) {
            SCOPED_TRACE(::testing::Message() << hex << " in code page " << codePage.value_or(99999));
            const ByteBuffer wide = AnsiToWide(FromHex(hex), codePage);
            const std::vector<uint8_t>& bytes = wide.Bytes();
            ASSERT_GE(bytes.size(), 2u);
            ASSERT_EQ(bytes.size() % 2, 0u);
            size_t firstZero = bytes.size();
            for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
                if (bytes[i] == 0 && bytes[i + 1] == 0) {
                    firstZero = i;
                    break;
                }
            }
            ASSERT_LT(firstZero, bytes.size()) << "no zero unit in " << ToHex(bytes);
            for (size_t i = firstZero; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
        }
    }
}

}  // namespace
}  // namespace cc
