# Cross-building for 64-bit Windows with Debian's MinGW-w64 compilers (the
# -posix ones: std::thread and friends on winpthreads). Used for Qt itself
# (scripts/windows-qt) and for the program (make windows).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${DIGITS_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The Qt for Windows that scripts/windows-qt installs, when building against it.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DIGITS_WINDOWS_QT)
