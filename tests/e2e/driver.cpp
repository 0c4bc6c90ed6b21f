// The test driver: a Windows program that uses the tool's window as a user
// would, from outside the tool's process. It reads one command per line on its
// standard input and answers each with one line of JSON. Every text is passed
// as the hexadecimal form of its bytes, so no code page stands in the way.
//
// Commands (numbers in decimal, window handles as given by earlier answers):
//   main PID TIMEOUT_MS         the tool's main window, once it is visible (PID 0: any process)
//   mains                       every visible main window of the tool, of any process
//   window HWND                 caption, outer rectangle, styles, class
//   toplevel PID                the visible top-level windows of a process
//   children HWND               the child windows, from the top of the stacking order
//   focus TID                   the window with the keyboard focus on a GUI thread
//   key HWND VK                 a key pressed and released (posted)
//   input VK [shift]            a key pressed and released as real input (SendInput)
//   char HWND CODE              a typed byte (WM_CHAR, posted as ANSI)
//   wchar HWND CODE             a typed character (WM_CHAR, posted as UTF-16),
//                               as a keyboard or an input method delivers it
//   text HWND                   the window text (WM_GETTEXT)
//   paste HWND HEX              puts the bytes on the clipboard and pastes them with Ctrl+V
//   button HWND X Y             a left-button press and release at a client point (posted)
//   click HWND                  BM_CLICK
//   boxes PID                   the message boxes open in a process: caption and text
//   dismiss HWND                presses the box's OK button
//   close HWND                  WM_CLOSE
//   foreground HWND             brings a top-level window to the front
//   resources PID               the process's GDI and USER object counts
//   objects PID                 the same counted from outside, where GetGuiResources tells
//                               nothing (Wine answers 0): the used entries of the process's
//                               GDI handle table, in all and by the entries' type byte, the
//                               windows it owns (hidden and message-only ones included) and
//                               its threads
//   memory PID                  the process's working set and commit, now and at their peak
//   times PID                   the CPU time the process has used, in 100 ns units
//   sendclick HWND              BM_CLICK sent, waiting for the button's handling; the
//                               time it took in microseconds
//   sendnull HWND               WM_NULL sent, for the cost of a round trip alone
//   repaint HWND COUNT          paints the window and its children COUNT times
//   screen                      the screen's size
//   sleep MS
//   quit
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string Unhex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

HWND ToWindow(const std::string& text) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(text))); }
std::string FromWindow(HWND window) { return std::to_string(reinterpret_cast<uintptr_t>(window)); }

std::string WindowText(HWND window) {
    const LRESULT length = ::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = ::SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                          reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::string RectJson(const RECT& r) {
    std::ostringstream out;
    out << "[" << r.left << "," << r.top << "," << r.right - r.left << "," << r.bottom - r.top << "]";
    return out.str();
}

std::string Describe(HWND window) {
    RECT outer{};
    ::GetWindowRect(window, &outer);
    RECT placed = outer;
    HWND parent = ::GetParent(window);
    if (parent != nullptr && (::GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)) {
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
    }
    RECT client{};
    ::GetClientRect(window, &client);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    DWORD pid = 0;
    const DWORD tid = ::GetWindowThreadProcessId(window, &pid);
    std::ostringstream out;
    out << "{\"hwnd\":" << FromWindow(window) << ",\"class\":\"" << Hex(ClassOf(window)) << "\",\"text\":\""
        << Hex(WindowText(window)) << "\",\"rect\":" << RectJson(placed) << ",\"screen\":" << RectJson(outer)
        << ",\"client\":" << RectJson(client) << ",\"style\":" << static_cast<unsigned long>(::GetWindowLongPtrA(window, GWL_STYLE))
        << ",\"exstyle\":" << static_cast<unsigned long>(::GetWindowLongPtrA(window, GWL_EXSTYLE))
        << ",\"id\":" << ::GetDlgCtrlID(window) << ",\"visible\":" << (::IsWindowVisible(window) ? "true" : "false")
        << ",\"enabled\":" << (::IsWindowEnabled(window) ? "true" : "false") << ",\"tid\":" << tid
        << ",\"pid\":" << pid << ",\"parent\":" << FromWindow(parent) << "}";
    return out.str();
}

struct TopLevelSearch {
    DWORD pid;
    std::string className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if ((search->pid == 0 || pid == search->pid) && ClassOf(window) == search->className && ::IsWindowVisible(window)) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> TopLevel(DWORD pid, const std::string& className) {
    TopLevelSearch search{pid, className, {}};
    ::EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string Main(DWORD pid, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    do {
        auto found = TopLevel(pid, "ConfessionCardMainWindow");
        if (!found.empty()) return Describe(found.front());
        ::Sleep(20);
    } while (::GetTickCount() - start < timeoutMs);
    return "null";
}

std::string Children(HWND parent) {
    std::string out = "[";
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (out.size() > 1) out += ",";
        out += Describe(child);
    }
    return out + "]";
}

struct ProcessWindows {
    DWORD pid;
    std::string json;
};

BOOL CALLBACK DescribeTopLevel(HWND window, LPARAM param) {
    auto* windows = reinterpret_cast<ProcessWindows*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == windows->pid && ::IsWindowVisible(window)) {
        if (!windows->json.empty()) windows->json += ",";
        windows->json += Describe(window);
    }
    return TRUE;
}

std::string TopLevelOf(DWORD pid) {
    ProcessWindows windows{pid, {}};
    ::EnumWindows(&DescribeTopLevel, reinterpret_cast<LPARAM>(&windows));
    return "[" + windows.json + "]";
}

std::string Focus(DWORD tid) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(tid, &info) || info.hwndFocus == nullptr) return "null";
    return Describe(info.hwndFocus);
}

void PostKey(HWND window, WORD vk) {
    const UINT scan = ::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    const LPARAM up = down | (1L << 30) | (1L << 31);
    ::PostMessageA(window, WM_KEYDOWN, vk, down);
    ::PostMessageA(window, WM_KEYUP, vk, up);
}

void RealKey(WORD vk, bool shift) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD key, DWORD flags) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = key;
        in.ki.dwFlags = flags;
        inputs.push_back(in);
    };
    if (shift) add(VK_SHIFT, 0);
    add(vk, 0);
    add(vk, KEYEVENTF_KEYUP);
    if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool PutOnClipboard(const std::string& bytes) {
    if (!::OpenClipboard(nullptr)) return false;
    ::EmptyClipboard();
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size() + 1);
    if (memory == nullptr) {
        ::CloseClipboard();
        return false;
    }
    char* target = static_cast<char*>(::GlobalLock(memory));
    std::memcpy(target, bytes.c_str(), bytes.size() + 1);
    ::GlobalUnlock(memory);
    const bool ok = ::SetClipboardData(CF_TEXT, memory) != nullptr;
    if (!ok) ::GlobalFree(memory);
    ::CloseClipboard();
    return ok;
}

std::string Boxes(DWORD pid) {
    std::string out = "[";
    for (HWND box : TopLevel(pid, "#32770")) {
        if (out.size() > 1) out += ",";
        HWND text = ::GetDlgItem(box, 0xFFFF);
        DWORD boxPid = 0;
        const DWORD tid = ::GetWindowThreadProcessId(box, &boxPid);
        out += "{\"hwnd\":" + FromWindow(box) + ",\"caption\":\"" + Hex(WindowText(box)) + "\",\"text\":\"" +
               Hex(text != nullptr ? WindowText(text) : std::string()) + "\",\"tid\":" + std::to_string(tid) +
               ",\"pid\":" + std::to_string(boxPid) + ",\"ok\":" + (::GetDlgItem(box, IDOK) != nullptr ? "true" : "false") +
               ",\"cancel\":" + (::GetDlgItem(box, IDCANCEL) != nullptr ? "true" : "false") + "}";
    }
    return out + "]";
}

std::string Resources(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return "null";
    const DWORD gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = ::GetGuiResources(process, GR_USEROBJECTS);
    ::CloseHandle(process);
    return "{\"gdi\":" + std::to_string(gdi) + ",\"user\":" + std::to_string(user) + "}";
}

std::string Memory(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) return "null";
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    const BOOL ok = ::GetProcessMemoryInfo(process, &counters, sizeof counters);
    ::CloseHandle(process);
    if (!ok) return "null";
    return "{\"working_set\":" + std::to_string(counters.WorkingSetSize) +
           ",\"peak_working_set\":" + std::to_string(counters.PeakWorkingSetSize) +
           ",\"commit\":" + std::to_string(counters.PagefileUsage) +
           ",\"peak_commit\":" + std::to_string(counters.PeakPagefileUsage) + "}";
}

unsigned long long FileTimeValue(const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// One entry of the GDI handle table that a process's PEB points to; an entry
// whose type is 0 is free.
struct GdiHandleEntry {
    unsigned long long object;
    unsigned long owner;
    unsigned short unique;
    unsigned char type;
    unsigned char flags;
    unsigned long long user;
};
static_assert(sizeof(GdiHandleEntry) == 24, "a GDI handle table entry is 24 bytes");
constexpr size_t kGdiHandleCount = 0x10000;
constexpr size_t kPebGdiHandleTable = 0xF8;  // offset of GdiSharedHandleTable in a 64-bit PEB

// The used entries of the process's GDI handle table, in all and by the type
// byte of the entry; false when the table cannot be read.
bool CountGdiHandles(HANDLE process, long& used, std::map<int, long>& byType) {
    // Looked up at run time: the driver does not link against ntdll.
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof basic, &length) != 0) return false;
    unsigned long long table = 0;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + kPebGdiHandleTable, &table,
                             sizeof table, &read) ||
        table == 0) {
        return false;
    }
    std::vector<GdiHandleEntry> entries(kGdiHandleCount);
    if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<uintptr_t>(table)), entries.data(),
                             entries.size() * sizeof(GdiHandleEntry), &read)) {
        return false;
    }
    used = 0;
    for (const GdiHandleEntry& entry : entries) {
        if (entry.type == 0) continue;
        ++used;
        ++byType[entry.type];
    }
    return true;
}

struct WindowCount {
    DWORD pid;
    long count;
};

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM param) {
    auto* windows = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == windows->pid) ++windows->count;
    return TRUE;
}

BOOL CALLBACK CountWindowTree(HWND window, LPARAM param) {
    CountOwnWindow(window, param);
    ::EnumChildWindows(window, &CountOwnWindow, param);
    return TRUE;
}

long CountWindows(DWORD pid) {
    WindowCount windows{pid, 0};
    ::EnumWindows(&CountWindowTree, reinterpret_cast<LPARAM>(&windows));
    for (HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = ::FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
        CountWindowTree(window, reinterpret_cast<LPARAM>(&windows));
    }
    return windows.count;
}

long CountThreads(DWORD pid) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    long count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

std::string Objects(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) return "null";
    long gdi = 0;
    std::map<int, long> byType;
    const bool read = CountGdiHandles(process, gdi, byType);
    ::CloseHandle(process);
    std::string types = "{";
    for (const auto& [type, count] : byType) {
        if (types.size() > 1) types += ",";
        types += "\"" + std::to_string(type) + "\":" + std::to_string(count);
    }
    types += "}";
    return "{\"gdi\":" + (read ? std::to_string(gdi) : std::string("null")) +
           ",\"gdi_types\":" + (read ? types : std::string("null")) +
           ",\"windows\":" + std::to_string(CountWindows(pid)) + ",\"threads\":" + std::to_string(CountThreads(pid)) +
           "}";
}

std::string Times(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return "null";
    FILETIME created{}, exited{}, kernel{}, user{};
    const BOOL ok = ::GetProcessTimes(process, &created, &exited, &kernel, &user);
    ::CloseHandle(process);
    if (!ok) return "null";
    return "{\"kernel\":" + std::to_string(FileTimeValue(kernel)) + ",\"user\":" + std::to_string(FileTimeValue(user)) +
           "}";
}

long long Microseconds(UINT message, HWND window) {
    LARGE_INTEGER frequency{}, start{}, end{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    ::SendMessageA(window, message, 0, 0);
    ::QueryPerformanceCounter(&end);
    return (end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
}

std::string Handle(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "main") {
        DWORD pid = 0, timeout = 0;
        in >> pid >> timeout;
        return Main(pid, timeout);
    }
    if (command == "mains") {
        std::string out = "[";
        for (HWND window : TopLevel(0, "ConfessionCardMainWindow")) {
            if (out.size() > 1) out += ",";
            out += Describe(window);
        }
        return out + "]";
    }
    if (command == "window") {
        std::string w;
        in >> w;
        HWND window = ToWindow(w);
        return ::IsWindow(window) ? Describe(window) : "null";
    }
    if (command == "toplevel") {
        DWORD pid = 0;
        in >> pid;
        return TopLevelOf(pid);
    }
    if (command == "children") {
        std::string w;
        in >> w;
        return Children(ToWindow(w));
    }
    if (command == "focus") {
        DWORD tid = 0;
        in >> tid;
        return Focus(tid);
    }
    if (command == "key" || command == "input") {
        std::string w, extra;
        int vk = 0;
        if (command == "key") in >> w;
        in >> vk >> extra;
        if (command == "key") PostKey(ToWindow(w), static_cast<WORD>(vk));
        else RealKey(static_cast<WORD>(vk), extra == "shift");
        return "true";
    }
    if (command == "char") {
        std::string w;
        unsigned code = 0;
        in >> w >> code;
        ::PostMessageA(ToWindow(w), WM_CHAR, code, 1);
        return "true";
    }
    if (command == "wchar") {
        std::string w;
        unsigned code = 0;
        in >> w >> code;
        ::PostMessageW(ToWindow(w), WM_CHAR, code, 1);
        return "true";
    }
    if (command == "text") {
        std::string w;
        in >> w;
        return "\"" + Hex(WindowText(ToWindow(w))) + "\"";
    }
    if (command == "paste") {
        std::string w, hex;
        in >> w >> hex;
        if (!PutOnClipboard(Unhex(hex))) return "false";
        ::PostMessageA(ToWindow(w), WM_CHAR, 0x16, 1);  // Ctrl+V
        return "true";
    }
    if (command == "button") {
        std::string w;
        int x = 0, y = 0;
        in >> w >> x >> y;
        const LPARAM at = MAKELPARAM(x, y);
        ::PostMessageA(ToWindow(w), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageA(ToWindow(w), WM_LBUTTONUP, 0, at);
        return "true";
    }
    if (command == "click") {
        std::string w;
        in >> w;
        ::PostMessageA(ToWindow(w), BM_CLICK, 0, 0);
        return "true";
    }
    if (command == "boxes") {
        DWORD pid = 0;
        in >> pid;
        return Boxes(pid);
    }
    if (command == "dismiss") {
        std::string w;
        in >> w;
        ::PostMessageA(ToWindow(w), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return "true";
    }
    if (command == "close") {
        std::string w;
        in >> w;
        ::PostMessageA(ToWindow(w), WM_CLOSE, 0, 0);
        return "true";
    }
    if (command == "foreground") {
        std::string w;
        in >> w;
        return ::SetForegroundWindow(ToWindow(w)) ? "true" : "false";
    }
    if (command == "resources") {
        DWORD pid = 0;
        in >> pid;
        return Resources(pid);
    }
    if (command == "objects") {
        DWORD pid = 0;
        in >> pid;
        return Objects(pid);
    }
    if (command == "memory" || command == "times") {
        DWORD pid = 0;
        in >> pid;
        return command == "memory" ? Memory(pid) : Times(pid);
    }
    if (command == "sendclick" || command == "sendnull") {
        std::string w;
        in >> w;
        return std::to_string(Microseconds(command == "sendclick" ? BM_CLICK : WM_NULL, ToWindow(w)));
    }
    if (command == "repaint") {
        std::string w;
        int count = 0;
        in >> w >> count;
        for (int i = 0; i < count; ++i) {
            ::RedrawWindow(ToWindow(w), nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        }
        return "true";
    }
    if (command == "screen") {
        return "[" + std::to_string(::GetSystemMetrics(SM_CXSCREEN)) + "," +
               std::to_string(::GetSystemMetrics(SM_CYSCREEN)) + "]";
    }
    if (command == "sleep") {
        DWORD ms = 0;
        in >> ms;
        ::Sleep(ms);
        return "true";
    }
    return "{\"error\":\"unknown command\"}";
}

}  // namespace

int main() {
    char line[1 << 20];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        std::string command(line);
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
        if (command == "quit") break;
        if (command.empty()) continue;
        const std::string answer = Handle(command);
        std::fputs(answer.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return 0;
}
