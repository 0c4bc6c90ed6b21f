#include "app/runtime_error.h"

#include <ole2.h>

#include <atomic>
#include <charconv>

namespace cc {
namespace {

constexpr UINT kErrorBoxType = MB_OK | MB_ICONERROR;  // 0x10
constexpr UINT kExitAfterError = static_cast<UINT>(-1);
constexpr char kCrLf[] = "\r\n";

// The identity of the UI thread: the one value that every thread must be able
// to find, so that a failure met on a worker can hand the end over.
std::atomic<DWORD>& UiThreadSlot() {
    static std::atomic<DWORD> id{0};
    return id;
}

// The top-level window of the UI thread that takes the hand-over message.
struct FindTarget {
    HWND found = nullptr;
};

BOOL CALLBACK TakeEndTarget(HWND window, LPARAM param) {
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) != kEndTargetClassName) return TRUE;
    reinterpret_cast<FindTarget*>(param)->found = window;
    return FALSE;
}

[[noreturn]] void HandEndToUiThread() {
    const DWORD uiThread = UiThreadId();
    FindTarget target;
    if (uiThread != 0) ::EnumThreadWindows(uiThread, &TakeEndTarget, reinterpret_cast<LPARAM>(&target));
    if (target.found != nullptr) {
        DWORD_PTR ignored = 0;
        // The UI thread ends the process inside this call when it takes it.
        ::SendMessageTimeoutA(target.found, kEndAfterRuntimeErrorMessage, 0, 0, SMTO_BLOCK, 10000, &ignored);
    }
    // The UI thread is gone, ending already or does not answer.
    ::ExitProcess(kExitAfterError);
}

}  // namespace

std::string RuntimeErrorMessageForCode(int32_t code) {
    switch (code) {
    case kIndexAboveRange: return "数组成员引用下标超出定义范围";
    case kIndexBelowOne: return "数组成员引用下标必须大于等于1";
    case kStackUnbalanced: return "调用DLL命令后发现堆栈错误";
    default: return std::string();
    }
}

std::string ComposeRuntimeErrorText(int32_t code, const std::string& message) {
    const std::string shown = (code != 0 && message.empty()) ? RuntimeErrorMessageForCode(code) : message;
    std::string text = "运行时出错!";
    text += kCrLf;
    text += kCrLf;
    if (code != 0) {
        // The code in decimal, as "%d" writes it.
        char digits[16];
        const auto written = std::to_chars(digits, digits + sizeof digits, code);
        text += "错误代码：";
        text.append(digits, written.ptr);
        text += kCrLf;
        text += kCrLf;
    }
    if (!shown.empty()) {
        text += "错误信息：";
        text += shown;
        text += kCrLf;
    }
    return text;
}

std::string ComposeAllocationFailureMessage(size_t bytes) {
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, bytes);
    return "分配 " + std::string(digits, written.ptr) + " 字节内存失败!";
}

void RecordUiThread() { UiThreadSlot().store(::GetCurrentThreadId()); }

DWORD UiThreadId() { return UiThreadSlot().load(); }

void EndProcessOnUiThread(UINT exitCode) {
    ::OleUninitialize();
    ::ExitProcess(exitCode);
}

void RaiseRuntimeError(int32_t code, const std::string& message) {
    // An error met while this thread is reporting one (memory running out
    // while the box text is composed) ends the process straight away.
    static thread_local bool reporting = false;
    if (reporting) ::ExitProcess(kExitAfterError);
    reporting = true;
    const std::string text = ComposeRuntimeErrorText(code, message);
    ::MessageBoxA(nullptr, text.c_str(), "错误", kErrorBoxType);
    const DWORD uiThread = UiThreadId();
    if (uiThread == 0 || uiThread == ::GetCurrentThreadId()) EndProcessOnUiThread(kExitAfterError);
    HandEndToUiThread();
}

}  // namespace cc
