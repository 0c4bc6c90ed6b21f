// A test-only program built from the tool's own code. It runs the real window
// and message loop, with one thing changed by its argument, so that the tests
// can bring about failures that the tool itself never meets:
//   ui-error       the generate button raises a run-time error on the UI thread
//   worker-error   the generate button starts a worker that raises error 6
//   missing-export the generate button starts a worker that binds a function
//                  that kernel32.dll does not export
//   bad-browser    the browser view's control cannot be created
//   index-below    a byte buffer is read at index 0, before any window exists
//   index-above    a byte buffer is read past its end, before any window exists
//   no-memory      asks for more memory than the process can have
//   read-closed    the generate button starts a worker that closes the window
//                  and then reads the name box, as a late worker would
//   unknown-control  the generate button starts a worker that reads a control
//                  the window does not have
//   unprotected    the tool as it is, but without restricting the library
//                  search, as a program without that protection would run
//   load-bare N    loads library N by its bare name after the restriction;
//                  with "unprotected" before it, without the restriction
#include "app/control_properties.h"
#include "app/identifiers.h"
#include "app/program.h"
#include "app/runtime_error.h"
#include "app/system_functions.h"
#include "encoding/text.h"

#include <windows.h>

#include <string>

namespace {

void RaiseOnUiThread() { cc::RaiseRuntimeError(cc::kNoErrorCode, "测试用的错误"); }

DWORD WINAPI RaiseStackError(LPVOID) { cc::RaiseRuntimeError(cc::kStackUnbalanced); }

DWORD WINAPI BindMissingExport(LPVOID) {
    cc::system_functions::LookUpSystemFunction("kernel32.dll", "NoSuchExportedFunction");
    return 0;
}

void StartRaisingWorker() {
    DWORD id = 0;
    cc::UniqueKernelHandle worker(cc::system_functions::CreateThread(nullptr, 0, &RaiseStackError, nullptr, 0, &id));
}

void StartMissingExportWorker() {
    DWORD id = 0;
    cc::UniqueKernelHandle worker(
        cc::system_functions::CreateThread(nullptr, 0, &BindMissingExport, nullptr, 0, &id));
}

DWORD WINAPI ReadAfterClose(LPVOID) {
    HWND window = ::FindWindowA(cc::kEndTargetClassName, nullptr);
    // The window goes; the UI thread stays, as while the program is ending.
    ::SendMessageA(window, WM_CLOSE, 0, 0);
    cc::ReadControlProperty(cc::kMainWindowId, cc::kNameBoxId, cc::kEditBoxContent, cc::kWholeValue);
    return 0;
}

DWORD WINAPI ReadUnknownControl(LPVOID) {
    cc::ReadControlProperty(cc::kMainWindowId, 0x16019999, cc::kEditBoxContent, cc::kWholeValue);
    return 0;
}

void StartWorker(LPTHREAD_START_ROUTINE routine) {
    DWORD id = 0;
    cc::UniqueKernelHandle worker(cc::system_functions::CreateThread(nullptr, 0, routine, nullptr, 0, &id));
}

void StartReadAfterClose() { StartWorker(&ReadAfterClose); }
void StartReadUnknownControl() { StartWorker(&ReadUnknownControl); }

int ReadBuffer(int32_t index) {
    cc::RecordUiThread();
    const cc::ByteBuffer buffer(std::vector<uint8_t>{1, 2, 3});
    return buffer.At(index);
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    int next = 2;
    if (mode != "unprotected") {
        cc::RestrictLibrarySearch();
    } else if (argc > 2) {
        mode = argv[2];
        next = 3;
    }
    if (mode == "load-bare") {
        if (argc <= next) return 2;
        return ::LoadLibraryA(argv[next]) != nullptr ? 0 : 1;
    }
    cc::MainWindowSettings settings = cc::StartWindowSettings();
    if (mode == "ui-error") {
        settings.events.generateClicked = &RaiseOnUiThread;
    } else if (mode == "worker-error") {
        settings.events.generateClicked = &StartRaisingWorker;
    } else if (mode == "missing-export") {
        settings.events.generateClicked = &StartMissingExportWorker;
    } else if (mode == "read-closed") {
        settings.events.generateClicked = &StartReadAfterClose;
    } else if (mode == "unknown-control") {
        settings.events.generateClicked = &StartReadUnknownControl;
    } else if (mode == "bad-browser") {
        // A class that no server is registered for.
        settings.browserClass = CLSID{0x0BADC0DE, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};
    } else if (mode == "index-below") {
        return ReadBuffer(0);
    } else if (mode == "index-above") {
        return ReadBuffer(4);
    } else if (mode == "no-memory") {
        cc::RecordUiThread();
        void* huge = ::operator new(static_cast<size_t>(1) << 60);  // 1 EiB
        ::operator delete(huge);
        return 3;
    } else if (mode != "unprotected") {
        return 2;
    }
    const int result = cc::RunProgram(settings);
    // A late worker's error must end the process itself: keep the process
    // alive after the window is gone, as while the program is ending.
    if (mode == "read-closed") ::Sleep(INFINITE);
    return result;
}
