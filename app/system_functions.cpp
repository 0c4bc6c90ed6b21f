#include "app/system_functions.h"

#include "app/runtime_error.h"

#include <type_traits>

namespace cc::system_functions {
namespace {

// Where a function declared without a library is looked for, in this order.
constexpr const char* kSystemLibraries[] = {"Kernel32.dll", "User32.dll", "Gdi32.dll"};

// The process runs elevated, so a library is only ever taken from the system
// directory, by its full path: never from the program's own folder or the
// current directory, whatever lies there.
HMODULE LoadSystemLibrary(const char* name) {
    char directory[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(directory, length) + "\\" + name;
    return ::LoadLibraryExA(path.c_str(), nullptr, 0);
}

FARPROC FindIn(const char* library, const char* function) {
    HMODULE module = LoadSystemLibrary(library);
    if (module == nullptr) return nullptr;
    FARPROC address = ::GetProcAddress(module, function);
    // A module that supplied a function stays loaded: the address serves every
    // later call. One that did not is let go.
    if (address == nullptr) ::FreeLibrary(module);
    return address;
}

template <typename Fn>
Fn Bind(const char* library, const char* function) {
    static_assert(std::is_pointer_v<Fn>);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(LookUpSystemFunction(library, function)));
}

}  // namespace

std::string ComposeLookupFailureMessage(const char* library, const char* function) {
    std::string message;
    if (library == nullptr) {
        message = "无法找到指定DLL库文件中的输出命令“";
    } else {
        message = "无法找到指定DLL库文件“";
        message += library;
        message += "”中的输出命令“";
    }
    message += function;
    message += "”";
    return message;
}

FARPROC LookUpSystemFunction(const char* library, const char* function) {
    FARPROC address = nullptr;
    if (library != nullptr) {
        address = FindIn(library, function);
    } else {
        for (const char* candidate : kSystemLibraries) {
            address = FindIn(candidate, function);
            if (address != nullptr) break;
        }
    }
    if (address == nullptr) RaiseRuntimeError(kNoErrorCode, ComposeLookupFailureMessage(library, function));
    return address;
}

// Each row is bound by its function-local static: the language makes its
// initialisation happen once, with concurrent first callers waiting for it.
// The pointer types are the platform's own declarations, so every call leaves
// the stack as it found it.

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId) {
    static const auto bound = Bind<decltype(&::CreateThread)>(nullptr, "CreateThread");
    return bound(attributes, stackSize, start, parameter, flags, threadId);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH source, int sourceLength, LPWSTR target,
                        int targetLength) {
    static const auto bound = Bind<decltype(&::MultiByteToWideChar)>(nullptr, "MultiByteToWideChar");
    return bound(codePage, flags, source, sourceLength, target, targetLength);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH source, int sourceLength, LPSTR target,
                        int targetLength, LPCCH defaultChar, LPBOOL usedDefaultChar) {
    static const auto bound = Bind<decltype(&::WideCharToMultiByte)>("kernel32.dll", "WideCharToMultiByte");
    return bound(codePage, flags, source, sourceLength, target, targetLength, defaultChar, usedDefaultChar);
}

}  // namespace cc::system_functions
