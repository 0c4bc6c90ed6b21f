// Every single byte and every two-byte sequence of code page 936 through
// AnsiToUtf8, against the UTF-8 that iconv gives for it (the build writes the
// reference with make_gbk_reference.py).
#include "encoding/code_page.h"
#include "tests/unit/encoding/encoding_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace cc {
namespace {

using testing_support::EnvironmentValue;
using testing_support::FromHex;
using testing_support::ToHex;

// Where the build put the reference: beside the test program, in the
// directory the tests run in, unless the environment names another file.
std::string ReferencePath() {
    const std::string named = EnvironmentValue("CONFESSION_GBK_REFERENCE");
    return named.empty() ? std::string("gbk_reference.txt") : named;
}

struct ReferenceLine {
    std::string sequence;  // one byte, or a lead byte and a trail byte
    bool rejected;         // iconv has no mapping for the sequence
    std::string utf8;

    uint8_t Byte(size_t i) const { return static_cast<uint8_t>(sequence[i]); }
};

std::vector<ReferenceLine> ReadReference(const std::string& path) {
    std::vector<ReferenceLine> lines;
    std::ifstream in(path);
    std::string sequence;
    std::string utf8;
    while (in >> sequence >> utf8) {
        ReferenceLine line{FromHex(sequence), utf8 == "-", {}};
        if (line.sequence.empty() || line.sequence.size() > 2) break;
        if (!line.rejected) line.utf8 = FromHex(utf8);
        lines.push_back(line);
    }
    return lines;
}

// The code point of a UTF-8 text that holds exactly one character, or -1.
long SingleCodePoint(const std::string& utf8) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
    if (utf8.size() == 3 && (byte(0) & 0xF0) == 0xE0 && (byte(1) & 0xC0) == 0x80 && (byte(2) & 0xC0) == 0x80) {
        return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    }
    return -1;
}

// Why AnsiToUtf8 and iconv may differ on a sequence.
enum class Difference {
    // The sequence lies in one of the user-defined areas of code page 936 or
    // on a position that the standard leaves unassigned (for instance A140 to
    // A7A0, AAA1 to AFFE, F8A1 to FEFE, and gaps such as A2AB to A2B0), or it
    // is the single byte 0xFF. The platform's table maps each of them to its
    // own code point of the Private Use Area (U+E000 to U+F8FF); iconv's
    // CP936 has no mapping for them.
    kUserDefinedToPrivateUse,
    // 0x7F is not a trail byte of code page 936, so the pair is invalid:
    // iconv rejects it, and the platform replaces it by its default
    // character, "?".
    kInvalidTrailToDefaultCharacter,
    // A lead byte at the end of the text, without its trail byte: iconv
    // rejects it as incomplete, the platform gives its default character,
    // "?". (0x80 alone is the euro sign in both.)
    kLoneLeadToDefaultCharacter,
    kUnexplained,
};

const char* Describe(Difference difference) {
    switch (difference) {
    case Difference::kUserDefinedToPrivateUse:
        return "user-defined or unassigned, iconv: no mapping, program: a private-use character";
    case Difference::kInvalidTrailToDefaultCharacter:
        return "trail byte 7F is invalid, iconv: no mapping, program: the default character ?";
    case Difference::kLoneLeadToDefaultCharacter:
        return "a lead byte without trail byte, iconv: incomplete, program: the default character ?";
    case Difference::kUnexplained:
        return "UNEXPLAINED";
    }
    return "";
}

Difference Classify(const ReferenceLine& line, const Text& actual) {
    if (!line.rejected) return Difference::kUnexplained;
    const bool single = line.sequence.size() == 1;
    if (single && line.Byte(0) >= 0x81 && line.Byte(0) <= 0xFE && actual == "?") {
        return Difference::kLoneLeadToDefaultCharacter;
    }
    if (!single && line.Byte(1) == 0x7F && actual == "?") return Difference::kInvalidTrailToDefaultCharacter;
    const long codePoint = SingleCodePoint(actual);
    if (codePoint >= 0xE000 && codePoint <= 0xF8FF) return Difference::kUserDefinedToPrivateUse;
    return Difference::kUnexplained;
}

std::string Compact(const std::string& sequence) {
    std::string hex = ToHex(sequence);
    hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
    return hex;
}

// Whether b follows a in the listing: the next single byte, or the same lead
// byte with the next trail byte.
bool Follows(const ReferenceLine& a, const ReferenceLine& b) {
    if (a.sequence.size() != b.sequence.size()) return false;
    const size_t last = a.sequence.size() - 1;
    return a.sequence.compare(0, last, b.sequence, 0, last) == 0 && b.Byte(last) == a.Byte(last) + 1;
}

// Sequences listed as runs: "A140-A17E A180-A1A0 ...".
std::string AsRuns(const std::vector<const ReferenceLine*>& lines) {
    std::ostringstream out;
    for (size_t i = 0; i < lines.size();) {
        size_t j = i;
        while (j + 1 < lines.size() && Follows(*lines[j], *lines[j + 1])) ++j;
        out << (i == 0 ? "" : " ") << Compact(lines[i]->sequence);
        if (j > i) out << "-" << Compact(lines[j]->sequence);
        i = j + 1;
    }
    return out.str();
}

TEST(GbkDifferential, EverySequenceAgreesWithIconvOrDiffersForAKnownReason) {
    ASSERT_EQ(testing_support::SystemAnsiCodePage(), 936u);
    const std::string path = ReferencePath();
    const std::vector<ReferenceLine> reference = ReadReference(path);
    ASSERT_EQ(reference.size(), 255u + 126u * 191u)
        << "the reference " << path << " is missing or incomplete; the build writes it with iconv";

    size_t agreeing = 0;
    std::map<Difference, std::vector<const ReferenceLine*>> differences;
    std::map<long, const ReferenceLine*> privateUse;
    for (const ReferenceLine& line : reference) {
        const std::string& sequence = line.sequence;
        const Text actual = AnsiToUtf8(sequence);
        if (!line.rejected && actual == line.utf8) {
            ++agreeing;
            continue;
        }
        const Difference difference = Classify(line, actual);
        differences[difference].push_back(&line);
        if (difference == Difference::kUnexplained) {
            ADD_FAILURE() << "sequence " << ToHex(sequence) << ": iconv "
                          << (line.rejected ? std::string("rejects it") : ToHex(line.utf8)) << ", AnsiToUtf8 "
                          << ToHex(actual);
        }
        if (difference == Difference::kUserDefinedToPrivateUse) {
            const auto [previous, isNew] = privateUse.emplace(SingleCodePoint(actual), &line);
            EXPECT_TRUE(isNew) << "sequences " << ToHex(sequence) << " and " << ToHex(previous->second->sequence)
                               << " share a private-use character";
        }
    }

    std::cout << agreeing << " of " << reference.size() << " sequences agree with iconv\n";
    for (const auto& [difference, lines] : differences) {
        std::cout << lines.size() << " differ, " << Describe(difference) << ":\n  " << AsRuns(lines) << "\n";
    }
}

}  // namespace
}  // namespace cc
