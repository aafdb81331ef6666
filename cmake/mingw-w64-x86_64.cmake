# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread model, which std::thread needs). Used for Qt's own build and for
# Tornavel's; TORNAVEL_WINDOWS_QT names the cross-built Qt so that its
# packages are found inside the target root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(tornavelMingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${tornavelMingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tornavelMingw}-g++-posix)
set(CMAKE_RC_COMPILER ${tornavelMingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${tornavelMingw})
if(DEFINED ENV{TORNAVEL_WINDOWS_QT})
    list(APPEND CMAKE_FIND_ROOT_PATH "$ENV{TORNAVEL_WINDOWS_QT}")
endif()
# Programs (moc, rcc, makensis) run here; libraries and headers are Windows ones.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
