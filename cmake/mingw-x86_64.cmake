set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(MINGW_THREADS posix)  # GoogleTest needs std::mutex
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
