#include "encoding/code_page.h"

#include "app/system_functions.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace cc {
namespace code_page_steps {
namespace {

constexpr DWORD kNoFlags = 0;
constexpr int kZeroTerminated = -1;

}  // namespace

int CountWideUnits(const ConversionFunctions& platform, UINT codePage, const char* text) {
    return std::max(0, platform.multiByteToWideChar(codePage, kNoFlags, text, kZeroTerminated, nullptr, 0));
}

int DecodeInto(const ConversionFunctions& platform, UINT codePage, const char* text, wchar_t* target,
               int capacity) {
    return platform.multiByteToWideChar(codePage, kNoFlags, text, kZeroTerminated, target, capacity);
}

int CountBytes(const ConversionFunctions& platform, UINT codePage, const wchar_t* units) {
    return std::max(0, platform.wideCharToMultiByte(codePage, kNoFlags, units, kZeroTerminated, nullptr, 0,
                                                    nullptr, nullptr));
}

int EncodeInto(const ConversionFunctions& platform, UINT codePage, const wchar_t* units, char* target,
               int capacity) {
    return platform.wideCharToMultiByte(codePage, kNoFlags, units, kZeroTerminated, target, capacity, nullptr,
                                        nullptr);
}

std::vector<wchar_t> ZeroTerminatedUnits(const ByteBuffer& wide) {
    const std::vector<uint8_t>& bytes = wide.Bytes();
    const size_t unitCount = bytes.size() / 2;
    std::vector<wchar_t> units;
    units.reserve(unitCount + 1);
    for (size_t i = 0; i < unitCount; ++i) {
        const auto unit = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0) break;
        units.push_back(unit);
    }
    units.push_back(0);
    return units;
}

}  // namespace code_page_steps

namespace {

using namespace code_page_steps;

// A wide buffer is written and read by the platform in place: its bytes are
// the UTF-16 units, low byte first, as they lie in memory on this platform.
// (The storage of a vector comes from operator new, aligned for any unit.)
wchar_t* UnitsOf(std::vector<uint8_t>& bytes) { return reinterpret_cast<wchar_t*>(bytes.data()); }
const wchar_t* UnitsOf(const std::vector<uint8_t>& bytes) { return reinterpret_cast<const wchar_t*>(bytes.data()); }

// Whether the bytes hold a zero unit among their whole units.
bool HoldsZeroUnit(const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == 0 && bytes[i + 1] == 0) return true;
    }
    return false;
}

// Twice the ANSI count, the output space of an encoding; a count too large to
// double is held at the largest capacity the platform takes.
int DoubledCapacity(int ansiCount) {
    const int64_t doubled = 2 * static_cast<int64_t>(ansiCount);
    return static_cast<int>(std::min<int64_t>(doubled, INT_MAX));
}

}  // namespace

const ConversionFunctions& SystemConversionFunctions() {
    static const ConversionFunctions functions{&system_functions::MultiByteToWideChar,
                                               &system_functions::WideCharToMultiByte};
    return functions;
}

// The output is sized by the count in the system's ANSI code page, whatever
// code page the text is then read in. When that is too small for the requested
// code page, the platform refuses the conversion; the text is then counted in
// its own code page and converted again, so that the caller always gets the
// whole text.
ByteBuffer AnsiToWide(const Text& text, std::optional<UINT> codePage, const ConversionFunctions& platform) {
    const UINT sourceCodePage = codePage.value_or(kUtf8CodePage);
    const char* source = text.c_str();

    const int ansiCount = CountWideUnits(platform, kAnsiCodePage, source);
    std::vector<uint8_t> bytes(2 * static_cast<size_t>(ansiCount), 0);
    const bool fitted =
        ansiCount > 0 && DecodeInto(platform, sourceCodePage, source, UnitsOf(bytes), ansiCount) > 0;
    if (!fitted) {
        const int needed = CountWideUnits(platform, sourceCodePage, source);
        if (needed > ansiCount) {
            bytes.assign(2 * static_cast<size_t>(needed), 0);
            DecodeInto(platform, sourceCodePage, source, UnitsOf(bytes), needed);
        }
    }
    // Whoever reads the buffer stops at its first zero unit: there is always
    // one, also where the platform's conversion ended without it.
    if (!HoldsZeroUnit(bytes)) bytes.insert(bytes.end(), {0, 0});
    return ByteBuffer(std::move(bytes));
}

// The same sizing as AnsiToWide, doubled: into a code page whose characters are
// longer than the ANSI code page's (UTF-8 on a single-byte system) it is too
// small, and the units are then counted in the target code page and converted
// again.
Text WideToAnsi(const ByteBuffer& wide, std::optional<UINT> codePage, const ConversionFunctions& platform) {
    const UINT targetCodePage = codePage.value_or(kAnsiCodePage);
    // The units are read in place up to their zero unit; a buffer without one
    // is read from a terminated copy, never beyond its length.
    std::vector<wchar_t> terminatedCopy;
    const wchar_t* units = UnitsOf(wide.Bytes());
    if (!HoldsZeroUnit(wide.Bytes())) {
        terminatedCopy = ZeroTerminatedUnits(wide);
        units = terminatedCopy.data();
    }

    const int ansiCount = CountBytes(platform, kAnsiCodePage, units);
    const int capacity = DoubledCapacity(ansiCount);
    // The working text: spaces, then the string's own zero byte behind them.
    std::string working(static_cast<size_t>(capacity), ' ');
    const bool fitted = capacity > 0 && EncodeInto(platform, targetCodePage, units, working.data(), capacity) > 0;
    if (!fitted) {
        const int needed = CountBytes(platform, targetCodePage, units);
        if (needed > capacity) {
            working.assign(static_cast<size_t>(needed), ' ');
            EncodeInto(platform, targetCodePage, units, working.data(), needed);
        }
    }
    // The text ends at the working text's first zero byte.
    working.resize(TextBytes(working).size());
    return working;
}

Text AnsiToUtf8(const Text& text, const ConversionFunctions& platform) {
    const ByteBuffer wide = AnsiToWide(text, kGbkCodePage, platform);
    return WideToAnsi(wide, kUtf8CodePage, platform);
}

ByteBuffer AnsiToWide(const Text& text, std::optional<UINT> codePage) {
    return AnsiToWide(text, codePage, SystemConversionFunctions());
}

Text WideToAnsi(const ByteBuffer& wide, std::optional<UINT> codePage) {
    return WideToAnsi(wide, codePage, SystemConversionFunctions());
}

Text AnsiToUtf8(const Text& text) { return AnsiToUtf8(text, SystemConversionFunctions()); }

}  // namespace cc
