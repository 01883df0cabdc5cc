# Shared part of the mingw-w64 toolchain files; VEMKA_MINGW_TRIPLET names
# the target.
set(CMAKE_C_COMPILER ${VEMKA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEMKA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VEMKA_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${VEMKA_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${VEMKA_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_NM ${VEMKA_MINGW_TRIPLET}-nm CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${VEMKA_MINGW_TRIPLET}-objdump CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${VEMKA_MINGW_TRIPLET}-dlltool CACHE FILEPATH "")

# Libraries built from Debian source packages for this target are installed
# under the build's own prefix (see scripts/build-mingw-deps.sh).
set(CMAKE_FIND_ROOT_PATH /usr/${VEMKA_MINGW_TRIPLET} ${VEMKA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes are linked in, so the DLL and the test programs
# need nothing beside the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
