# Cross-compiles the SDK for 32-bit Windows (the product DLL) with
# mingw-w64's posix-thread compilers (the win32-thread ones have no
# std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VEMKA_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
