# Cross-compiles the SDK for 64-bit Windows (the build that runs the tests under wine64) with
# mingw-w64's posix-thread compilers (the win32-thread ones have no
# std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VEMKA_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs of this build run under Wine.
find_program(VEMKA_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(VEMKA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEMKA_WINE})
endif()
