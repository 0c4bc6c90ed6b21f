// A library that leaves a file beside itself when a process loads it: planted
// under the name of a system library in the tool's folder, it shows whether
// the tool ever loads a library from there.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH + 16] = {};
    const DWORD length = ::GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcatA(path, ".loaded");
    HANDLE marker = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    return TRUE;
}
