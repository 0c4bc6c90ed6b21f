// Run-time errors: the error box, then the end of the process with exit code -1.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace cc {

// Error codes that the program's own routines raise.
enum RuntimeErrorCode : int32_t {
    kNoErrorCode = 0,
    kIndexAboveRange = 1,
    kIndexBelowOne = 4,
    kStackUnbalanced = 6,
};

// The message that belongs to an error code, or "" for a code without one.
std::string RuntimeErrorMessageForCode(int32_t code);

// The text of the error box for a code (0 for none) and a message (may be
// empty; for a known code an empty message is replaced by the code's own).
std::string ComposeRuntimeErrorText(int32_t code, const std::string& message);

// Shows the error box on the calling thread, then ends the process with exit
// code -1. From a thread other than the UI thread the end is handed to the UI
// thread, which cleans up as it does at every end; if it cannot be reached the
// calling thread ends the process itself.
[[noreturn]] void RaiseRuntimeError(int32_t code, const std::string& message = std::string());

// The message for memory that cannot be obtained: "%d" bytes asked for.
std::string ComposeAllocationFailureMessage(size_t bytes);

// Remembers the calling thread as the UI thread. Called once, at start.
void RecordUiThread();
DWORD UiThreadId();

// The message by which another thread hands the end of the process to a window
// of the UI thread; the window procedure answers it with EndProcessOnUiThread.
constexpr UINT kEndAfterRuntimeErrorMessage = WM_APP + 0x3F0;
// The class of the UI thread's window that takes it.
constexpr char kEndTargetClassName[] = "ConfessionCardMainWindow";

// The end of the process on the UI thread: OLE is uninitialised, then the
// process exits with the given code.
[[noreturn]] void EndProcessOnUiThread(UINT exitCode);

}  // namespace cc
