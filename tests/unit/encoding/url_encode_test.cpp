// UrlEncode: escapes, the safe set, the UTF-8 form.
#include "encoding/url_encode.h"
#include "tests/unit/encoding/encoding_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace cc {
namespace {

using testing_support::Describe;
using testing_support::FromHex;
using testing_support::RecordingPlatform;
using testing_support::ToHex;

// The rule, written out independently of the code under test: the safe set is
// hyphen-minus, full stop, digits and ASCII letters; everything else is "%"
// with two upper-case digits.
bool InSafeSet(int byte) {
    static const char kSafe[] =
        "-.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    return byte != 0 && std::strchr(kSafe, byte) != nullptr;
}

std::string ExpectedEncoding(const std::string& bytes, bool keepSafe) {
    std::string encoded;
    for (const char c : bytes) {
        const int byte = static_cast<unsigned char>(c);
        if (keepSafe && InSafeSet(byte)) {
            encoded += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", byte);
            encoded += escape;
        }
    }
    return encoded;
}

class UrlEncodeOnAnsiCodePage936 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing_support::SystemAnsiCodePage(), 936u)
            << "these tests describe a system whose ANSI code page is 936 (GBK)";
    }
};

TEST_F(UrlEncodeOnAnsiCodePage936, WorkedExamples) {
    struct Case {
        int line;
        const char* text;
        std::optional<bool> keepSafe;
        std::optional<bool> asUtf8;
        const char* expected;
    };
    const Case cases[] = {
        {__LINE__, "61 62 63", std::nullopt, true, "%61%62%63"},
        {__LINE__, "61 62 63", true, true, "abc"},
        {__LINE__, "D5 C5", std::nullopt, true, "%E5%BC%A0"},
        {__LINE__, "BB B6 D3 AD C4 FA", std::nullopt, true, "%E6%AC%A2%E8%BF%8E%E6%82%A8"},
        {__LINE__, "BB B6 D3 AD C4 FA", std::nullopt, std::nullopt, "%BB%B6%D3%AD%C4%FA"},
        // a-b.c/d_e~f 9
        {__LINE__, "61 2D 62 2E 63 2F 64 5F 65 7E 66 20 39", true, std::nullopt, "a-b.c%2Fd%5Fe%7Ef%209"},
        {__LINE__, "0A", std::nullopt, std::nullopt, "%0A"},
        // More edges: a tab, hexadecimal letters, bytes from 0x80 up with keepSafe.
        {__LINE__, "09", true, std::nullopt, "%09"},
        {__LINE__, "AB", std::nullopt, std::nullopt, "%AB"},
        {__LINE__, "AB CD EF FF 80", true, std::nullopt, "%AB%CD%EF%FF%80"},
        {__LINE__, "2F 20 5F 7E", true, std::nullopt, "%2F%20%5F%7E"},
        {__LINE__, "2D 2E", true, std::nullopt, "-."},
        {__LINE__, "2D 2E", false, false, "%2D%2E"},
        {__LINE__, "30 39 41 5A 61 7A", true, false, "09AZaz"},
        {__LINE__, "2C 3A 40 5B 60 7B", true, false, "%2C%3A%40%5B%60%7B"},
        // With both options: safe bytes of the UTF-8 form stay, the rest is escaped.
        {__LINE__, "61 BB B6 2E", true, true, "a%E6%AC%A2."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        const Text text = FromHex(c.text);
        EXPECT_EQ(UrlEncode(text, c.keepSafe, c.asUtf8), c.expected);
        EXPECT_EQ(text, FromHex(c.text)) << "the caller's text changed";
    }
}

TEST_F(UrlEncodeOnAnsiCodePage936, EveryByteValueFollowsTheRule) {
    std::string all;
    for (int byte = 0x01; byte <= 0xFF; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        all += text;
        for (const bool keepSafe : {false, true}) {
            EXPECT_EQ(UrlEncode(text, keepSafe), ExpectedEncoding(text, keepSafe))
                << "byte " << byte << (keepSafe ? " with" : " without") << " keepSafe";
        }
    }
    EXPECT_EQ(UrlEncode(all), ExpectedEncoding(all, false));
    EXPECT_EQ(UrlEncode(all, true), ExpectedEncoding(all, true));
    EXPECT_EQ(UrlEncode(all).size(), 3u * 255u);

    // The safe set has 64 members.
    std::string keptAsTheyAre;
    for (int byte = 0x01; byte <= 0xFF; ++byte) {
        if (UrlEncode(std::string(1, static_cast<char>(byte)), true).size() == 1) keptAsTheyAre += static_cast<char>(byte);
    }
    EXPECT_EQ(keptAsTheyAre, "-.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    for (int byte = 0; byte <= 0xFF; ++byte) {
        EXPECT_EQ(IsUrlSafeByte(static_cast<uint8_t>(byte)), InSafeSet(byte)) << "byte " << byte;
    }
}

// An empty text gives an empty result at once, with no conversion made.
TEST_F(UrlEncodeOnAnsiCodePage936, EmptyTextGivesEmptyResultWithoutConversion) {
    for (const std::optional<bool> keepSafe : {std::optional<bool>(), std::optional<bool>(false), std::optional<bool>(true)}) {
        for (const std::optional<bool> asUtf8 : {std::optional<bool>(), std::optional<bool>(false), std::optional<bool>(true)}) {
            RecordingPlatform platform;
            EXPECT_EQ(UrlEncode("", keepSafe, asUtf8, platform.Functions()), "");
            EXPECT_TRUE(platform.calls.empty()) << Describe(platform.calls);
            EXPECT_EQ(UrlEncode("", keepSafe, asUtf8), "");
        }
    }
    // A text is read up to its first zero byte, as a zero-terminated string is.
    EXPECT_EQ(UrlEncode(std::string("\0ab", 3), std::nullopt, true), "");
    EXPECT_EQ(UrlEncode(std::string("a\0b", 3)), "%61");
    EXPECT_EQ(UrlEncode(std::string("a\0b", 3), std::nullopt, true), "%61");
}

TEST_F(UrlEncodeOnAnsiCodePage936, OnlyTheUtf8FormGoesThroughTheConversion) {
    RecordingPlatform withoutUtf8;
    EXPECT_EQ(UrlEncode(FromHex("BB B6"), std::nullopt, std::nullopt, withoutUtf8.Functions()), "%BB%B6");
    EXPECT_TRUE(withoutUtf8.calls.empty()) << Describe(withoutUtf8.calls);

    RecordingPlatform withUtf8;
    EXPECT_EQ(UrlEncode(FromHex("BB B6"), std::nullopt, true, withUtf8.Functions()), "%E6%AC%A2");
    ASSERT_EQ(withUtf8.calls.size(), 4u) << Describe(withUtf8.calls);
    EXPECT_EQ(withUtf8.calls[1].codePage, 936u);
    EXPECT_EQ(withUtf8.calls[3].codePage, 65001u);
}

// k Chinese characters: 3k escapes, 9k characters, the UTF-8 bytes in order.
TEST_F(UrlEncodeOnAnsiCodePage936, ChineseCharactersGiveThreeEscapesEach) {
    struct Character {
        const char* gbk;
        const char* utf8;
    };
    const Character characters[] = {
        {"BB B6", "%E6%AC%A2"}, {"D3 AD", "%E8%BF%8E"}, {"C4 FA", "%E6%82%A8"},
        {"D5 C5", "%E5%BC%A0"}, {"B0 A1", "%E5%95%8A"}, {"D2 BB", "%E4%B8%80"},
        {"FD 9B", "%E9%BE%A5"} /* U+9FA5, the last ideograph of the original CJK block */,
    };
    for (const size_t k : {1u, 2u, 3u, 7u, 20u, 100u}) {
        std::string text;
        std::string expected;
        for (size_t i = 0; i < k; ++i) {
            const Character& character = characters[(i * 3) % std::size(characters)];
            text += FromHex(character.gbk);
            expected += character.utf8;
        }
        SCOPED_TRACE(::testing::Message() << k << " characters");
        const Text encoded = UrlEncode(text, std::nullopt, true);
        EXPECT_EQ(encoded, expected);
        EXPECT_EQ(encoded.size(), 9 * k);
        EXPECT_EQ(static_cast<size_t>(std::count(encoded.begin(), encoded.end(), '%')), 3 * k);
    }
}

TEST_F(UrlEncodeOnAnsiCodePage936, AnOmittedFlagIsFalse) {
    const Text text = FromHex("61 2D BB B6 7E");
    EXPECT_EQ(UrlEncode(text), UrlEncode(text, false, false));
    EXPECT_EQ(UrlEncode(text, true), UrlEncode(text, true, false));
    EXPECT_EQ(UrlEncode(text, std::nullopt, true), UrlEncode(text, false, true));
    EXPECT_EQ(UrlEncode(text), "%61%2D%BB%B6%7E");
    EXPECT_EQ(UrlEncode(text, std::nullopt, true), "%61%2D%E6%AC%A2%7E");
}

TEST_F(UrlEncodeOnAnsiCodePage936, TheCallersTextIsUnchanged) {
    const std::string original = FromHex("61 2F BB B6 D3 AD 20 0A FF");
    for (const bool keepSafe : {false, true}) {
        for (const bool asUtf8 : {false, true}) {
            Text text = original;
            const char* storage = text.c_str();
            UrlEncode(text, keepSafe, asUtf8);
            EXPECT_EQ(ToHex(text), ToHex(original));
            EXPECT_EQ(text.c_str(), storage);
        }
    }
}

}  // namespace
}  // namespace cc
