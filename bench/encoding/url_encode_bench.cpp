// The cost of UrlEncode for texts of 10 KB, 100 KB and 1 MB of mixed ASCII
// and GBK Chinese: the median of several runs for each size, and how the
// medians grow with the size. The cost should grow linearly: 1 MB about 100
// times 10 KB.
//
// For comparison, the floor: the plainest escaping loop, one pass that writes
// three characters per byte into a new string, on the same texts. Where it
// grows by more than 100 from 10 KB to 1 MB, the machine's memory (caches, and
// the fresh pages of large blocks) sets the growth, not the encoder.
//
// Usage: encoding_bench [runs]   (default 9 runs per size)
#include "encoding/url_encode.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A text of exactly the given size: ASCII letters, digits and blanks mixed
// with GB2312 characters, about half the bytes each, from a fixed seed.
std::string MixedText(size_t size) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> coin(0, 3);
    std::uniform_int_distribution<int> ascii(0x20, 0x7E);
    std::uniform_int_distribution<int> lead(0xB0, 0xD6);
    std::uniform_int_distribution<int> trail(0xA1, 0xFE);
    std::string text;
    text.reserve(size);
    while (text.size() < size) {
        if (coin(random) == 0 && text.size() + 2 <= size) {
            text += static_cast<char>(lead(random));
            text += static_cast<char>(trail(random));
        } else {
            text += static_cast<char>(ascii(random));
        }
    }
    return text;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The floor: no conversion, no checks, no safe set.
std::string PlainEscapes(const std::string& text) {
    std::string escaped(text.size() * 3, '\0');
    char* out = escaped.data();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out[0] = '%';
        out[1] = kHexDigits[byte >> 4];
        out[2] = kHexDigits[byte & 0x0F];
        out += 3;
    }
    return escaped;
}

enum class Subject { kUrlEncodeAsUtf8, kUrlEncodeOwnBytes, kPlainEscapes };

std::string Run(Subject subject, const std::string& text) {
    switch (subject) {
    case Subject::kUrlEncodeAsUtf8: return cc::UrlEncode(text, std::nullopt, true);
    case Subject::kUrlEncodeOwnBytes: return cc::UrlEncode(text);
    case Subject::kPlainEscapes: return PlainEscapes(text);
    }
    return std::string();
}

const char* Title(Subject subject) {
    switch (subject) {
    case Subject::kUrlEncodeAsUtf8: return "UrlEncode, asUtf8 true";
    case Subject::kUrlEncodeOwnBytes: return "UrlEncode, asUtf8 omitted";
    case Subject::kPlainEscapes: return "floor: a plain escaping loop";
    }
    return "";
}

struct Measurement {
    double medianSeconds;  // one call
    size_t encodedSize;
};

// Runs UrlEncode often enough for each run to take a measurable time, and
// takes the median of the runs' per-call times.
Measurement Measure(const std::string& text, Subject subject, int runs) {
    const int callsPerRun = static_cast<int>(std::max<size_t>(1, (1u << 20) / text.size()));
    std::vector<double> perCall;
    size_t encodedSize = 0;
    Run(subject, text);  // warm-up
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        for (int call = 0; call < callsPerRun; ++call) {
            encodedSize = Run(subject, text).size();
        }
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        perCall.push_back(elapsed.count() / callsPerRun);
    }
    std::nth_element(perCall.begin(), perCall.begin() + perCall.size() / 2, perCall.end());
    return {perCall[perCall.size() / 2], encodedSize};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const size_t sizes[] = {10u * 1024, 100u * 1024, 1024u * 1024};

    for (const Subject subject : {Subject::kUrlEncodeAsUtf8, Subject::kUrlEncodeOwnBytes, Subject::kPlainEscapes}) {
        std::printf("%s, median of %d runs\n", Title(subject), runs);
        std::printf("%10s %14s %12s %10s %14s\n", "text", "median/call", "MB/s", "vs 10 KB", "encoded size");
        double base = 0;
        for (const size_t size : sizes) {
            const Measurement m = Measure(MixedText(size), subject, runs);
            if (base == 0) base = m.medianSeconds;
            std::printf("%7zu KB %11.3f ms %12.1f %9.1fx %14zu\n", size / 1024, m.medianSeconds * 1e3,
                        size / m.medianSeconds / (1024.0 * 1024.0), m.medianSeconds / base, m.encodedSize);
        }
        std::printf("\n");
    }
    return 0;
}
