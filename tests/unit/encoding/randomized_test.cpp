// Randomized inputs from a fixed seed, valid and invalid code page 936 alike,
// against invariants of the conversions and the percent-encoder.
//
// CONFESSION_RANDOM_INPUTS=<count> in the environment chooses how many inputs
// to try (default 100000); CONFESSION_RANDOM_SEED=<number> another seed.
#include "encoding/code_page.h"
#include "encoding/url_encode.h"
#include "tests/unit/encoding/encoding_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace cc {
namespace {

using testing_support::EnvironmentValue;
using testing_support::ToHex;

constexpr unsigned long kDefaultInputs = 100000;
constexpr std::mt19937::result_type kDefaultSeed = 20240607;

unsigned long NumberFromEnvironment(const char* name, unsigned long fallback) {
    const std::string value = EnvironmentValue(name);
    return value.empty() ? fallback : std::strtoul(value.c_str(), nullptr, 10);
}

// An input and whether it is made of valid characters of code page 936 only.
struct RandomText {
    std::string bytes;
    bool valid = true;
};

class TextMaker {
public:
    explicit TextMaker(std::mt19937::result_type seed) : random_(seed) {}

    RandomText Next() {
        RandomText text;
        // A third of the inputs are valid GBK throughout.
        const bool validOnly = Uniform(0, 2) == 0;
        const int pieces = Uniform(0, 24);
        for (int i = 0; i < pieces; ++i) AddPiece(text, validOnly ? Uniform(0, 4) : Uniform(0, 9));
        return text;
    }

private:
    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    char Byte(int low, int high) { return static_cast<char>(Uniform(low, high)); }

    void AddPiece(RandomText& text, int kind) {
        switch (kind) {
        case 0:
        case 1:
        case 2:  // ASCII, control characters included
            text.bytes += Byte(0x01, 0x7F);
            break;
        case 3:
        case 4:  // a GB2312 character: rows B0 to D6 are fully assigned
            text.bytes += Byte(0xB0, 0xD6);
            text.bytes += Byte(0xA1, 0xFE);
            break;
        case 5:  // any lead and trail: user-defined areas, 0x7F trails
            text.bytes += Byte(0x81, 0xFE);
            text.bytes += Byte(0x40, 0xFE);
            text.valid = false;
            break;
        case 6:  // a lead byte followed by a byte that cannot be a trail
            text.bytes += Byte(0x81, 0xFE);
            text.bytes += Uniform(0, 1) ? Byte(0x01, 0x3F) : '\x7F';
            text.valid = false;
            break;
        case 7:  // a lead byte alone, at the end or before anything
            text.bytes += Byte(0x81, 0xFE);
            text.valid = false;
            break;
        case 8:  // any byte at all
            text.bytes += Byte(0x01, 0xFF);
            text.valid = false;
            break;
        default:  // the single bytes at the edges of the lead range
            text.bytes += Uniform(0, 1) ? '\x80' : '\xFF';
            text.valid = false;
            break;
        }
    }

    std::mt19937 random_;
};

int HexDigitValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;  // lower-case digits are not what the encoder writes
}

// Undoes the percent-encoding; nullopt when the text is not well formed: a
// byte outside printable ASCII, or "%" without two upper-case digits.
std::optional<std::string> PercentDecode(const std::string& encoded) {
    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(encoded[i]);
        if (c < 0x21 || c > 0x7E) return std::nullopt;
        if (c != '%') {
            decoded += static_cast<char>(c);
            continue;
        }
        if (i + 2 >= encoded.size()) return std::nullopt;
        const int high = HexDigitValue(encoded[i + 1]);
        const int low = HexDigitValue(encoded[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

bool IsWellFormedUtf8(const std::string& text) {
    size_t i = 0;
    const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < text.size()) {
        const unsigned char lead = at(i);
        size_t length;
        uint32_t codePoint;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((at(i + k) & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (at(i + k) & 0x3F);
        }
        const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[length] || codePoint > 0x10FFFF) return false;
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return false;
        i += length;
    }
    return true;
}

// What the platform itself answers, asked directly: the oracle for sizes.
int PlatformWideCount(UINT codePage, const std::string& text) {
    return ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
}
int PlatformByteCount(UINT codePage, const std::vector<wchar_t>& units) {
    return ::WideCharToMultiByte(codePage, 0, units.data(), -1, nullptr, 0, nullptr, nullptr);
}

// Stops the loop after the first failing input, so that a broken build does
// not print a hundred thousand failures.
#define CHECK_OR_STOP(condition, what)                                                        \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            ADD_FAILURE() << what << "\n  input #" << n << ": " << ToHex(text.bytes)            \
                          << "\n  seed " << seed;                                               \
            return;                                                                             \
        }                                                                                       \
    } while (false)

TEST(RandomizedEncoding, InvariantsHoldForRandomText) {
    ASSERT_EQ(testing_support::SystemAnsiCodePage(), 936u);
    const unsigned long inputs = NumberFromEnvironment("CONFESSION_RANDOM_INPUTS", kDefaultInputs);
    const auto seed = static_cast<std::mt19937::result_type>(NumberFromEnvironment("CONFESSION_RANDOM_SEED", kDefaultSeed));
    TextMaker maker(seed);
    std::mt19937 capacities(seed + 1);
    const ConversionFunctions& platform = SystemConversionFunctions();
    const std::optional<UINT> codePages[] = {std::nullopt, 0u, 936u, 65001u};
    // What the inputs put to the test, reported at the end.
    unsigned long validInputs = 0;
    unsigned long largerThanAnsiCount = 0;
    unsigned long terminatorAdded = 0;

    for (unsigned long n = 0; n < inputs; ++n) {
        const RandomText text = maker.Next();
        const std::string before = text.bytes;

        // The percent-encoder: ASCII only, three characters per byte without
        // keepSafe, and the source bytes back after decoding.
        const Text plain = UrlEncode(text.bytes);
        CHECK_OR_STOP(plain.size() == 3 * text.bytes.size(), "not three characters per byte: " << plain);
        CHECK_OR_STOP(PercentDecode(plain) == text.bytes, "decodes to something else: " << plain);

        const Text kept = UrlEncode(text.bytes, true);
        const std::optional<std::string> keptDecoded = PercentDecode(kept);
        CHECK_OR_STOP(keptDecoded == text.bytes, "keepSafe result decodes to something else: " << kept);
        for (size_t i = 0; i < kept.size(); ++i) {
            const auto c = static_cast<uint8_t>(kept[i]);
            if (c == '%') {
                const auto escaped = static_cast<uint8_t>(std::strtoul(kept.substr(i + 1, 2).c_str(), nullptr, 16));
                CHECK_OR_STOP(!IsUrlSafeByte(escaped), "a safe byte was escaped: " << kept);
                i += 2;
            } else {
                CHECK_OR_STOP(IsUrlSafeByte(c), "an unsafe byte was kept: " << kept);
            }
        }

        const Text utf8 = AnsiToUtf8(text.bytes);
        CHECK_OR_STOP(utf8.find('\0') == std::string::npos, "a zero byte inside the UTF-8 text");
        CHECK_OR_STOP(IsWellFormedUtf8(utf8), "not well-formed UTF-8: " << ToHex(utf8));
        CHECK_OR_STOP(text.bytes.empty() == utf8.empty(), "empty and non-empty do not match");
        const Text asUtf8 = UrlEncode(text.bytes, std::nullopt, true);
        CHECK_OR_STOP(asUtf8.size() == 3 * utf8.size(), "not three characters per UTF-8 byte: " << asUtf8);
        CHECK_OR_STOP(PercentDecode(asUtf8) == utf8, "asUtf8 result does not decode to the UTF-8 text");

        // AnsiToWide: the whole text read in the code page, in a buffer as long
        // as the ANSI count or, when the code page needs more, as long as
        // that, zero behind the text; and always a zero unit, even where the
        // platform's own conversion ends without one (Wine's UTF-8 reading
        // swallows the terminator behind a truncated three- or four-byte
        // sequence).
        const int ansiCount = PlatformWideCount(CP_ACP, text.bytes);
        for (const std::optional<UINT>& codePage : codePages) {
            const UINT used = codePage.value_or(CP_UTF8);
            const ByteBuffer wide = AnsiToWide(text.bytes, codePage);
            const int needed = PlatformWideCount(used, text.bytes);
            std::vector<wchar_t> expected(static_cast<size_t>(std::max(ansiCount, needed)), 0);
            ::MultiByteToWideChar(used, 0, text.bytes.c_str(), -1, expected.data(), needed);
            if (std::find(expected.begin(), expected.end(), wchar_t{0}) == expected.end()) {
                expected.push_back(0);
                ++terminatorAdded;
            }
            if (needed > ansiCount) ++largerThanAnsiCount;
            std::string expectedBytes;
            for (const wchar_t unit : expected) {
                expectedBytes += static_cast<char>(unit & 0xFF);
                expectedBytes += static_cast<char>(unit >> 8);
            }
            CHECK_OR_STOP(ToHex(wide) == ToHex(expectedBytes),
                          "code page " << used << ": " << ToHex(wide) << "\n  expected " << ToHex(expectedBytes));
            const std::vector<wchar_t> terminated = code_page_steps::ZeroTerminatedUnits(wide);

            // WideToAnsi back: the whole text in the code page, never a
            // working space left in it.
            for (const UINT back : {0u, 936u, 65001u}) {
                const Text narrow = WideToAnsi(wide, back);
                const int bytes = PlatformByteCount(back, terminated);
                CHECK_OR_STOP(static_cast<int>(narrow.size()) + 1 == bytes,
                              "text of " << narrow.size() << " bytes where the code page needs " << bytes - 1);
                CHECK_OR_STOP(narrow.find('\0') == std::string::npos, "a zero byte inside the text");
            }
        }
        if (text.valid) {
            ++validInputs;
            const ByteBuffer wide = AnsiToWide(text.bytes, 936);
            CHECK_OR_STOP(WideToAnsi(wide, 936) == text.bytes, "valid GBK does not come back unchanged");
            CHECK_OR_STOP(WideToAnsi(wide) == text.bytes, "valid GBK does not come back in the ANSI code page");
        }

        // The steps, given random capacities in buffers with guards behind.
        const int capacity = std::uniform_int_distribution<int>(0, 2 * static_cast<int>(text.bytes.size()) + 2)(capacities);
        std::vector<wchar_t> units(static_cast<size_t>(capacity) + 4, 0xCCCC);
        const int decoded = capacity == 0 ? 0 : code_page_steps::DecodeInto(platform, 936, text.bytes.c_str(), units.data(), capacity);
        for (size_t i = static_cast<size_t>(capacity); i < units.size(); ++i) {
            CHECK_OR_STOP(units[i] == 0xCCCC, "unit written past the capacity " << capacity);
        }
        CHECK_OR_STOP(decoded == 0 || units[static_cast<size_t>(decoded) - 1] == 0, "no terminator within the output");
        const std::vector<wchar_t> source = code_page_steps::ZeroTerminatedUnits(AnsiToWide(text.bytes, 936));
        std::string bytes(static_cast<size_t>(capacity) + 4, '\xCC');
        const int encoded = capacity == 0 ? 0 : code_page_steps::EncodeInto(platform, 65001, source.data(), bytes.data(), capacity);
        for (size_t i = static_cast<size_t>(capacity); i < bytes.size(); ++i) {
            CHECK_OR_STOP(bytes[i] == '\xCC', "byte written past the capacity " << capacity);
        }
        CHECK_OR_STOP(encoded == 0 || bytes[static_cast<size_t>(encoded) - 1] == '\0', "no terminator within the output");
        CHECK_OR_STOP(encoded == 0 || bytes.substr(0, static_cast<size_t>(encoded) - 1) == utf8, "not the UTF-8 text");

        CHECK_OR_STOP(text.bytes == before, "the caller's text changed");
    }
    std::cout << inputs << " inputs from seed " << seed << ": " << validInputs << " valid GBK, "
              << largerThanAnsiCount << " readings larger than the ANSI count, " << terminatorAdded
              << " readings without the platform's terminator\n";
}

}  // namespace
}  // namespace cc
