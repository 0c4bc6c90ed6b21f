// Conversion between code pages by way of UTF-16.
#pragma once

#include "encoding/text.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

namespace cc {

constexpr UINT kAnsiCodePage = 0;
constexpr UINT kGbkCodePage = 936;
constexpr UINT kUtf8CodePage = 65001;

// Decodes a text read in codePage (default UTF-8) into UTF-16 units, two bytes
// per unit, low byte first, the terminating zero unit included.
ByteBuffer AnsiToWide(const Text& text, std::optional<UINT> codePage = std::nullopt);

// Encodes UTF-16 units, up to the first zero unit, into codePage (default the
// system's ANSI code page).
Text WideToAnsi(const ByteBuffer& wide, std::optional<UINT> codePage = std::nullopt);

// Text in code page 936 to the same characters in UTF-8.
Text AnsiToUtf8(const Text& text);

// The two platform conversions that the routines above call. The routines use
// the bound system functions; the overloads below take another pair, so that a
// caller can watch or stand in for the platform.
struct ConversionFunctions {
    std::function<int(UINT codePage, DWORD flags, LPCCH source, int sourceLength, LPWSTR target,
                      int targetLength)>
        multiByteToWideChar;
    std::function<int(UINT codePage, DWORD flags, LPCWCH source, int sourceLength, LPSTR target,
                      int targetLength, LPCCH defaultChar, LPBOOL usedDefaultChar)>
        wideCharToMultiByte;
};

// The bound system functions MultiByteToWideChar and WideCharToMultiByte.
const ConversionFunctions& SystemConversionFunctions();

ByteBuffer AnsiToWide(const Text& text, std::optional<UINT> codePage, const ConversionFunctions& platform);
Text WideToAnsi(const ByteBuffer& wide, std::optional<UINT> codePage, const ConversionFunctions& platform);
Text AnsiToUtf8(const Text& text, const ConversionFunctions& platform);

// The steps the routines are made of.
namespace code_page_steps {

// The number of UTF-16 units that the zero-terminated text needs in codePage,
// terminator included; 0 when the platform cannot tell.
int CountWideUnits(const ConversionFunctions& platform, UINT codePage, const char* text);

// Converts the zero-terminated text into at most capacity units at target.
// Returns the platform's own result: the units written, 0 when they did not fit.
int DecodeInto(const ConversionFunctions& platform, UINT codePage, const char* text, wchar_t* target,
               int capacity);

// The number of bytes that the zero-terminated units need in codePage,
// terminator included; 0 when the platform cannot tell.
int CountBytes(const ConversionFunctions& platform, UINT codePage, const wchar_t* units);

// Converts the zero-terminated units into at most capacity bytes at target.
// Returns the platform's own result: the bytes written, 0 when they did not fit.
int EncodeInto(const ConversionFunctions& platform, UINT codePage, const wchar_t* units, char* target,
               int capacity);

// The units of a buffer up to its first zero unit, or up to its end when it
// has none (an odd last byte is no unit), followed by one zero unit.
std::vector<wchar_t> ZeroTerminatedUnits(const ByteBuffer& wide);

}  // namespace code_page_steps

}  // namespace cc
