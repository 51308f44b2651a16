# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the POSIX thread flavour, whose
# libstdc++ has std::thread and std::mutex), and runs what it builds under Wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTIDY_BUILD_GUI=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TIDY_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TIDY_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDY_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDY_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TIDY_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime and the thread library linked in, so that tidyland.exe is one file that runs
# without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# zlib too: without this FindZLIB takes the import library of zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)

# CTest and gtest_discover_tests run the test programs through Wine.
find_program(TIDY_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TIDY_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TIDY_WINE})
endif()
