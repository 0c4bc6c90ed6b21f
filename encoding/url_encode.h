// Percent-encoding of a text for a URL query.
#pragma once

#include "encoding/code_page.h"
#include "encoding/text.h"

#include <optional>

namespace cc {

// Every source byte becomes "%" and two upper-case hexadecimal digits. With
// keepSafe, hyphen, full stop, digits and ASCII letters are copied as they are;
// with asUtf8, the text is converted from code page 936 to UTF-8 first.
Text UrlEncode(const Text& text, std::optional<bool> keepSafe = std::nullopt,
               std::optional<bool> asUtf8 = std::nullopt);

// The same, with the conversion to UTF-8 made through the given platform
// functions.
Text UrlEncode(const Text& text, std::optional<bool> keepSafe, std::optional<bool> asUtf8,
               const ConversionFunctions& platform);

// Whether keepSafe copies the byte as it is: hyphen-minus, full stop, the
// digits and the ASCII letters.
bool IsUrlSafeByte(uint8_t byte);

}  // namespace cc
