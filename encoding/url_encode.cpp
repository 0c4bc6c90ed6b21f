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

    // The source bytes, fetched one by one with the buffer's range test.
    const ByteBuffer source =
        asUtf8.value_or(false) ? ByteBufferOf(TextBytes(AnsiToUtf8(text, platform))) : ByteBufferOf(TextBytes(text));
    const int32_t count = source.Length();

    Text result;
    result.reserve(static_cast<size_t>(count) * kEscapeLength);
    for (int32_t index = 1; index <= count; ++index) {
        const uint8_t byte = source.At(index);
        if (copySafe && IsUrlSafeByte(byte)) {
            result.push_back(static_cast<char>(byte));
        } else {
            result.push_back('%');
            result.push_back(kHexDigits[byte >> 4]);
            result.push_back(kHexDigits[byte & 0x0F]);
        }
    }
    return result;
}

Text UrlEncode(const Text& text, std::optional<bool> keepSafe, std::optional<bool> asUtf8) {
    return UrlEncode(text, keepSafe, asUtf8, SystemConversionFunctions());
}

}  // namespace cc
