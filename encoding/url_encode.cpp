#include "encoding/url_encode.h"

namespace cc {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kEscapeLength = 3;  // "%" and two digits

}  // namespace

bool IsUrlSafeByte(uint8_t byte) {
    return (byte >= 0x2D && byte <= 0x39 && byte != 0x2F) || (byte >= 0x41 && byte <= 0x5A) ||
           (byte >= 0x61 && byte <= 0x7A);
}

Text UrlEncode(const Text& text, std::optional<bool> keepSafe, std::optional<bool> asUtf8,
               const ConversionFunctions& platform) {
    if (TextBytes(text).empty()) return Text();
    const bool copySafe = keepSafe.value_or(false);

    // The source bytes: the text's own, or those of its UTF-8 form, which is
    // released as soon as the result is made. Each byte is fetched by its
    // index, tested against 1 and the count first.
    const Text utf8 = asUtf8.value_or(false) ? AnsiToUtf8(text, platform) : Text();
    const std::string_view source = asUtf8.value_or(false) ? TextBytes(utf8) : TextBytes(text);
    const auto count = static_cast<int32_t>(source.size());

    // The result is written into space for the longest outcome, three
    // characters per byte, and cut to what was written.
    Text result(static_cast<size_t>(count) * kEscapeLength, '\0');
    char* out = result.data();
    for (int32_t index = 1; index <= count; ++index) {
        const uint8_t byte = CheckedByteAt(source, index);
        if (copySafe && IsUrlSafeByte(byte)) {
            *out++ = static_cast<char>(byte);
        } else {
            out[0] = '%';
            out[1] = kHexDigits[byte >> 4];
            out[2] = kHexDigits[byte & 0x0F];
            out += kEscapeLength;
        }
    }
    result.resize(static_cast<size_t>(out - result.data()));
    return result;
}

Text UrlEncode(const Text& text, std::optional<bool> keepSafe, std::optional<bool> asUtf8) {
    return UrlEncode(text, keepSafe, asUtf8, SystemConversionFunctions());
}

}  // namespace cc
