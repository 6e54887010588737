# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads, for std::thread),
# one static executable per program, run under Wine where CMake or CTest runs one.
#
#   deps=$(scripts/win-deps)
#   cmake -S . -B build-win -G Ninja --toolchain cmake/mingw-w64.cmake -DTOLBE_WIN_DEPS="$deps"
#
# TOLBE_WIN_DEPS is the folder of the cross-built libraries that scripts/win-deps prints.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# No libstdc++, libgcc or winpthread DLL beside the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

if(NOT TOLBE_WIN_DEPS AND DEFINED ENV{TOLBE_WIN_DEPS})
  set(TOLBE_WIN_DEPS $ENV{TOLBE_WIN_DEPS})
endif()
if(NOT TOLBE_WIN_DEPS)
  message(FATAL_ERROR "Set -DTOLBE_WIN_DEPS to the folder scripts/win-deps prints")
endif()
# The compiler checks CMake runs in projects of their own see the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOLBE_WIN_DEPS)

# Libraries, headers and packages come from the MinGW-w64 sysroot and the cross-built folder
# only; programs (protoc among them) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TOLBE_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the cross-built libraries and nothing of the host.
set(ENV{PKG_CONFIG_LIBDIR} ${TOLBE_WIN_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Test programs and discovery run the .exe files under Wine.
find_program(TOLBE_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TOLBE_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLBE_WINE64})
endif()
