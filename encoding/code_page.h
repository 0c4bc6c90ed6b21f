// Conversion between code pages by way of UTF-16.
#pragma once

#include "encoding/text.h"

#include <windows.h>

#include <optional>

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

}  // namespace cc
