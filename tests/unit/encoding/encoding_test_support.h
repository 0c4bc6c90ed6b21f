// Helpers shared by the tests of the encoding routines.
#pragma once

#include "encoding/code_page.h"
#include "encoding/text.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cc::testing_support {

// GBK 欢迎您, its UTF-16 units (with the zero unit) and its UTF-8 bytes.
constexpr char kWelcomeGbk[] = "BB B6 D3 AD C4 FA";
constexpr char kWelcomeWide[] = "22 6B CE 8F A8 60 00 00";
constexpr char kWelcomeUtf8[] = "E6 AC A2 E8 BF 8E E6 82 A8";

// Bytes written as hexadecimal pairs separated by blanks: "BB B6 D3".
std::string FromHex(std::string_view hex);
std::vector<uint8_t> BytesFromHex(std::string_view hex);
ByteBuffer BufferFromHex(std::string_view hex);

// The reverse: "BB B6 D3" (empty for no bytes).
std::string ToHex(std::string_view bytes);
std::string ToHex(const std::vector<uint8_t>& bytes);
std::string ToHex(const ByteBuffer& buffer);

// One call of a platform conversion function, as the routines made it.
struct PlatformCall {
    enum class Function { kMultiByteToWideChar, kWideCharToMultiByte };
    Function function;
    UINT codePage;
    DWORD flags;
    int sourceLength;
    bool hasTarget;
    int capacity;
    bool defaultCharGiven;
    bool usedDefaultCharGiven;
};

std::string Describe(const PlatformCall& call);
std::string Describe(const std::vector<PlatformCall>& calls);

// Stands between the routines and the bound system functions: records every
// call, and can replace the count that the ANSI code page gives or let every
// call fail, to set up what a given system would answer.
class RecordingPlatform {
public:
    RecordingPlatform();
    RecordingPlatform(const RecordingPlatform&) = delete;
    RecordingPlatform& operator=(const RecordingPlatform&) = delete;

    const ConversionFunctions& Functions() const { return functions_; }

    std::vector<PlatformCall> calls;
    // Returned for every count in code page 0 instead of the platform's answer.
    std::optional<int> ansiCount;
    // Every call returns 0 and writes nothing.
    bool failEveryCall = false;

private:
    ConversionFunctions functions_;
};

// The ANSI code page of the running system, as the platform reports it.
UINT SystemAnsiCodePage();

// The run's environment variable, or "" when it is not set.
std::string EnvironmentValue(const char* name);

}  // namespace cc::testing_support
