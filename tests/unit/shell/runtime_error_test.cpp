// The text of the error box and the lookup-failure messages, byte for byte.
#include "app/runtime_error.h"
#include "app/system_functions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The expected texts are written as their GBK bytes, independent of how the
// compiler stores the program's own literals.
const std::string kHead = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";  // 运行时出错!
const std::string kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";        // 错误代码：
const std::string kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";     // 错误信息：
const std::string kStackMessage =  // 调用DLL命令后发现堆栈错误
    "\xB5\xF7\xD3\xC3" "DLL" "\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3";
const std::string kLoadFailed = "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";  // 载入启动窗口失败

struct ErrorTextCase {
    int32_t code;
    std::string message;
    std::string expected;
};

TEST(RuntimeErrorText, ComposesThePiecesThatApply) {
    const ErrorTextCase cases[] = {
        {6, "", kHead + kCodeLabel + "6\r\n\r\n" + kMessageLabel + kStackMessage + "\r\n"},
        {0, kLoadFailed, kHead + kMessageLabel + kLoadFailed + "\r\n"},
        {0, "", kHead},
        {6, "x", kHead + kCodeLabel + "6\r\n\r\n" + kMessageLabel + "x\r\n"},
        {77, "", kHead + kCodeLabel + "77\r\n\r\n"},
        {-5, "m", kHead + kCodeLabel + "-5\r\n\r\n" + kMessageLabel + "m\r\n"},
        {1, "", kHead + kCodeLabel + "1\r\n\r\n" + kMessageLabel +
                    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6\xB6\xA8\xD2\xE5"
                    "\xB7\xB6\xCE\xA7\r\n"},
        {4, "", kHead + kCodeLabel + "4\r\n\r\n" + kMessageLabel +
                    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xD2\xFD\xD3\xC3\xCF\xC2\xB1\xEA\xB1\xD8\xD0\xEB\xB4\xF3\xD3\xDA"
                    "\xB5\xC8\xD3\xDA" "1\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cc::ComposeRuntimeErrorText(c.code, c.message), c.expected) << "code " << c.code;
    }
}

TEST(RuntimeErrorText, CodesWithoutAMessageOfTheirOwn) {
    for (int32_t code : {0, 2, 3, 5, 7, -1}) EXPECT_EQ(cc::RuntimeErrorMessageForCode(code), "") << code;
}

TEST(LookupFailureMessage, NamesTheLibraryOnlyWhenDeclared) {
    // 无法找到指定DLL库文件中的输出命令“CreateThread”
    EXPECT_EQ(cc::system_functions::ComposeLookupFailureMessage(nullptr, "CreateThread"),
              "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8" "DLL" "\xBF\xE2\xCE\xC4\xBC\xFE\xD6\xD0\xB5\xC4"
              "\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0" "CreateThread" "\xA1\xB1");
    // 无法找到指定DLL库文件“kernel32.dll”中的输出命令“X”
    EXPECT_EQ(cc::system_functions::ComposeLookupFailureMessage("kernel32.dll", "X"),
              "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8" "DLL" "\xBF\xE2\xCE\xC4\xBC\xFE\xA1\xB0" "kernel32.dll"
              "\xA1\xB1\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0" "X" "\xA1\xB1");
}

}  // namespace

namespace {

TEST(AllocationFailureMessage, NamesTheBytesAskedFor) {
    // 分配 123 字节内存失败!
    EXPECT_EQ(cc::ComposeAllocationFailureMessage(123),
              "\xB7\xD6\xC5\xE4 123 \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!");
    EXPECT_EQ(cc::ComposeAllocationFailureMessage(0),
              "\xB7\xD6\xC5\xE4 0 \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!");
}

}  // namespace
