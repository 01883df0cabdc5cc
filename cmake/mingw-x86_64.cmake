# Cross-compiles the SDK for 64-bit Windows (the build that runs the tests under wine64) with
# mingw-w64's posix-thread compilers (the win32-thread ones have no
# std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VEMKA_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
