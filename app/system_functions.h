// The three functions of the platform that the program binds by name at their
// first call. Each is bound once per process, on whichever thread calls it
// first; concurrent first calls are safe. A function that cannot be found is a
// run-time error.
#pragma once

#include <windows.h>

#include <string>

namespace cc::system_functions {

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH source, int sourceLength, LPWSTR target,
                        int targetLength);

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH source, int sourceLength, LPSTR target,
                        int targetLength, LPCCH defaultChar, LPBOOL usedDefaultChar);

// The run-time error message for a function that cannot be found; library is
// null for a function declared without one.
std::string ComposeLookupFailureMessage(const char* library, const char* function);

// Looks a function up as the rows do; raises the run-time error when it cannot
// be found. The module it came from stays loaded for the life of the process.
FARPROC LookUpSystemFunction(const char* library, const char* function);

}  // namespace cc::system_functions
