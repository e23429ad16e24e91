# Cross-compiling for 64-bit Windows with Debian's mingw-w64, posix-thread flavour: Qt's
# threads (QThread, std::thread in the lists' workers) need winpthreads.
# TESSARO_QT_WINDOWS, when set (cache or environment), is the Qt built for Windows by
# scripts/windows-qt.sh; find_package(Qt6) looks only below the roots named here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT TESSARO_QT_WINDOWS AND DEFINED ENV{TESSARO_QT_WINDOWS})
    set(TESSARO_QT_WINDOWS "$ENV{TESSARO_QT_WINDOWS}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TESSARO_QT_WINDOWS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
