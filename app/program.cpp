#include "app/program.h"

#include "app/card_requests.h"
#include "app/runtime_error.h"

#include <exdisp.h>
#include <ole2.h>

namespace cc {
namespace {

constexpr char kStartWindowFailed[] = "载入启动窗口失败";

// OLE for the UI thread, from the start of the run to its end. The result of
// the initialisation is not examined.
class OleScope {
public:
    OleScope() { ::OleInitialize(nullptr); }
    ~OleScope() { ::OleUninitialize(); }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
};

}  // namespace

void RestrictLibrarySearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // Older systems: at least take the current directory out of the search.
        ::SetDllDirectoryA("");
    }
}

std::optional<bool> HandleLegendMouseDown(int32_t, int32_t, int32_t) { return std::nullopt; }

MainWindowSettings StartWindowSettings() {
    MainWindowSettings settings;
    settings.events.created = &HandleWindowCreated;
    settings.events.generateClicked = &HandleGenerateClick;
    settings.events.legendMouseDown = &HandleLegendMouseDown;
    settings.browserClass = CLSID_WebBrowser;
    return settings;
}

int ProgramMain() { return RunProgram(StartWindowSettings()); }

int RunProgram(const MainWindowSettings& settings) {
    OleScope ole;
    RecordUiThread();
    MainWindow window;
    LoadStartWindow(window, settings);
    RunMessageLoop(window);
    return 0;
}

void LoadStartWindow(MainWindow& window, const MainWindowSettings& settings) {
    if (!window.Create(settings)) RaiseRuntimeError(kNoErrorCode, kStartWindowFailed);
    window.RaiseCreated();
    window.Show();
}

void RunMessageLoop(MainWindow& window) {
    window.NoteLoopStarted();
    if (!window.Exists()) return;
    MSG message{};
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (window.FilterMessage(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

}  // namespace cc
