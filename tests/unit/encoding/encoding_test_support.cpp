#include "tests/unit/encoding/encoding_test_support.h"

#include "app/system_functions.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace cc::testing_support {
namespace {

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    throw std::invalid_argument(std::string("not a hexadecimal digit: ") + digit);
}

}  // namespace

std::string FromHex(std::string_view hex) {
    std::string bytes;
    size_t i = 0;
    while (i < hex.size()) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= hex.size()) throw std::invalid_argument("odd number of hexadecimal digits");
        bytes.push_back(static_cast<char>(HexValue(hex[i]) * 16 + HexValue(hex[i + 1])));
        i += 2;
    }
    return bytes;
}

std::vector<uint8_t> BytesFromHex(std::string_view hex) {
    const std::string bytes = FromHex(hex);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

ByteBuffer BufferFromHex(std::string_view hex) { return ByteBuffer(BytesFromHex(hex)); }

std::string ToHex(std::string_view bytes) {
    std::string hex;
    char pair[4];
    for (const char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(static_cast<uint8_t>(c)));
        if (!hex.empty()) hex += ' ';
        hex += pair;
    }
    return hex;
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
    return ToHex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ToHex(const ByteBuffer& buffer) { return ToHex(buffer.Bytes()); }

std::string Describe(const PlatformCall& call) {
    char text[200];
    std::snprintf(text, sizeof text, "%s(cp %u, flags %lu, length %d, %s, capacity %d%s)",
                  call.function == PlatformCall::Function::kMultiByteToWideChar ? "MultiByteToWideChar"
                                                                                 : "WideCharToMultiByte",
                  call.codePage, static_cast<unsigned long>(call.flags), call.sourceLength,
                  call.hasTarget ? "output" : "no output", call.capacity,
                  call.defaultCharGiven || call.usedDefaultCharGiven ? ", default char given" : "");
    return text;
}

std::string Describe(const std::vector<PlatformCall>& calls) {
    std::string text;
    for (const PlatformCall& call : calls) text += "\n  " + Describe(call);
    return text.empty() ? "\n  (no call)" : text;
}

RecordingPlatform::RecordingPlatform() {
    functions_.multiByteToWideChar = [this](UINT codePage, DWORD flags, LPCCH source, int sourceLength,
                                            LPWSTR target, int capacity) {
        calls.push_back({PlatformCall::Function::kMultiByteToWideChar, codePage, flags, sourceLength,
                         target != nullptr, capacity, false, false});
        if (failEveryCall) return 0;
        if (codePage == 0 && capacity == 0 && ansiCount) return *ansiCount;
        return system_functions::MultiByteToWideChar(codePage, flags, source, sourceLength, target, capacity);
    };
    functions_.wideCharToMultiByte = [this](UINT codePage, DWORD flags, LPCWCH source, int sourceLength,
                                            LPSTR target, int capacity, LPCCH defaultChar,
                                            LPBOOL usedDefaultChar) {
        calls.push_back({PlatformCall::Function::kWideCharToMultiByte, codePage, flags, sourceLength,
                         target != nullptr, capacity, defaultChar != nullptr, usedDefaultChar != nullptr});
        if (failEveryCall) return 0;
        if (codePage == 0 && capacity == 0 && ansiCount) return *ansiCount;
        return system_functions::WideCharToMultiByte(codePage, flags, source, sourceLength, target, capacity,
                                                     defaultChar, usedDefaultChar);
    };
}

UINT SystemAnsiCodePage() { return ::GetACP(); }

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace cc::testing_support
