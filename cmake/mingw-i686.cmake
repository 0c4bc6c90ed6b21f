set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_TRIPLE i686-w64-mingw32)
# The shipped program needs no POSIX threads library: the native thread model
# keeps it out of the executable. (GoogleTest, which needs it, is built only
# for the 64-bit test build.)
set(MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
