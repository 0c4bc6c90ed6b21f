// The process's entry: the first thread becomes the UI thread.
#include "app/program.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    cc::RestrictLibrarySearch();
    return cc::ProgramMain();
}
