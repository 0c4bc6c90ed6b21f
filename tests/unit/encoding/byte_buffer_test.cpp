// ByteBuffer: 1-based, range-checked access.
#include "encoding/text.h"
#include "tests/unit/encoding/encoding_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdio>
#include <string>
#include <thread>

namespace cc {
namespace {

using testing_support::BufferFromHex;
using testing_support::ToHex;

TEST(ByteBuffer, LengthAndBytesFollowTheGivenBytes) {
    struct Case {
        int line;
        const char* hex;
        int32_t length;
    };
    const Case cases[] = {
        {__LINE__, "", 0},
        {__LINE__, "00", 1},
        {__LINE__, "BB B6 D3 AD C4 FA", 6},
        {__LINE__, "22 6B CE 8F A8 60 00 00", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case at line " << c.line);
        const ByteBuffer buffer = BufferFromHex(c.hex);
        EXPECT_EQ(buffer.Length(), c.length);
        EXPECT_EQ(ToHex(buffer), c.hex);
    }
    EXPECT_EQ(ByteBuffer().Length(), 0);
}

TEST(ByteBuffer, AtCountsFromOne) {
    const ByteBuffer buffer = BufferFromHex("11 22 33 FF 00");
    const uint8_t expected[] = {0x11, 0x22, 0x33, 0xFF, 0x00};
    for (int32_t index = 1; index <= 5; ++index) {
        EXPECT_EQ(buffer.At(index), expected[index - 1]) << "index " << index;
    }
}

TEST(ByteBuffer, CheckedByteAtReadsTextBytesTheSameWay) {
    const std::string bytes("\x11\x00\xFF", 3);
    EXPECT_EQ(CheckedByteAt(bytes, 1), 0x11);
    EXPECT_EQ(CheckedByteAt(bytes, 2), 0x00);
    EXPECT_EQ(CheckedByteAt(bytes, 3), 0xFF);
}

TEST(ByteBuffer, ByteBufferOfCopiesEveryByteIncludingZeros) {
    const std::string bytes("a\0\xFF", 3);
    const ByteBuffer buffer = ByteBufferOf(bytes);
    EXPECT_EQ(ToHex(buffer), "61 00 FF");
}

TEST(ByteBuffer, TextBytesStopAtTheFirstZeroByte) {
    EXPECT_EQ(TextBytes(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(TextBytes(std::string("\0cd", 3)), "");
    EXPECT_EQ(TextBytes("\xBB\xB6"), "\xBB\xB6");
    EXPECT_EQ(TextBytes(""), "");
}

// A run-time error shows a modal box before the process ends. In the child
// process of a death test nobody would press its button, so a helper thread
// waits for the box, reports its text on the error stream (as hexadecimal,
// independent of the code page) and presses OK.
void DismissTheErrorBoxWhenItShows() {
    std::thread([] {
        const char kErrorCaption[] = "\xB4\xED\xCE\xF3";  // the box's caption, GBK
        for (int attempt = 0; attempt < 3000; ++attempt) {
            HWND box = ::FindWindowA("#32770", kErrorCaption);
            if (box != nullptr) {
                char text[512] = {};
                ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                std::fprintf(stderr, "error box: %s\n", ToHex(std::string_view(text)).c_str());
                std::fflush(stderr);
                ::PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(10);
        }
    }).detach();
}

// The exit code of a process ended by a run-time error: -1, all 32 bits set.
constexpr int kRuntimeErrorExitCode = -1;

// "错误代码：" then the code's digit, as the box shows it (GBK).
constexpr char kCodeFourInBox[] = "B4 ED CE F3 B4 FA C2 EB A3 BA 34";
constexpr char kCodeOneInBox[] = "B4 ED CE F3 B4 FA C2 EB A3 BA 31";

TEST(ByteBufferDeathTest, IndexBelowOneRaisesError4) {
    const ByteBuffer buffer = BufferFromHex("61 62 63");
    for (const int32_t index : {0, -1, INT32_MIN}) {
        SCOPED_TRACE(::testing::Message() << "index " << index);
        EXPECT_EXIT(
            {
                DismissTheErrorBoxWhenItShows();
                buffer.At(index);
            },
            ::testing::ExitedWithCode(kRuntimeErrorExitCode), kCodeFourInBox);
    }
}

TEST(ByteBufferDeathTest, IndexAboveLengthRaisesError1) {
    const ByteBuffer buffer = BufferFromHex("61 62 63");
    for (const int32_t index : {4, 5, INT32_MAX}) {
        SCOPED_TRACE(::testing::Message() << "index " << index);
        EXPECT_EXIT(
            {
                DismissTheErrorBoxWhenItShows();
                buffer.At(index);
            },
            ::testing::ExitedWithCode(kRuntimeErrorExitCode), kCodeOneInBox);
    }
}

TEST(ByteBufferDeathTest, CheckedByteAtRaisesTheSameErrors) {
    const std::string bytes = "abc";
    EXPECT_EXIT(
        {
            DismissTheErrorBoxWhenItShows();
            CheckedByteAt(bytes, 0);
        },
        ::testing::ExitedWithCode(kRuntimeErrorExitCode), kCodeFourInBox);
    EXPECT_EXIT(
        {
            DismissTheErrorBoxWhenItShows();
            CheckedByteAt(bytes, 4);
        },
        ::testing::ExitedWithCode(kRuntimeErrorExitCode), kCodeOneInBox);
}

TEST(ByteBufferDeathTest, AnEmptyBufferHasNoIndexAtAll) {
    const ByteBuffer empty;
    EXPECT_EXIT(
        {
            DismissTheErrorBoxWhenItShows();
            empty.At(1);
        },
        ::testing::ExitedWithCode(kRuntimeErrorExitCode), kCodeOneInBox);
    EXPECT_EXIT(
        {
            DismissTheErrorBoxWhenItShows();
            empty.At(0);
        },
        ::testing::ExitedWithCode(kRuntimeErrorExitCode), kCodeFourInBox);
}

}  // namespace
}  // namespace cc
