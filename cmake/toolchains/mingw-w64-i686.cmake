# Cross-build for 32-bit Windows with Debian's mingw-w64, with the
# compilers of the posix thread model, which std::thread needs. Usage:
#   cmake -S . -B build/win-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TALVEX_MINGW_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${TALVEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALVEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TALVEX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALVEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLL and the programs carry libgcc, libstdc++ and winpthread inside
# them, so that they import nothing but the platform's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

