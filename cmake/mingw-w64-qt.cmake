# The window's Windows build: Qt and tidylander.exe link Qt's DLLs, which link the compiler's
# runtime DLLs, so nothing is linked statically here. TIDY_QT_WINDOWS names the Qt built by
# scripts/qt-windows.sh; it is read from the environment so that CMake's test compilations see it.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "")
if(DEFINED ENV{TIDY_QT_WINDOWS})
    list(APPEND CMAKE_FIND_ROOT_PATH $ENV{TIDY_QT_WINDOWS})
endif()
