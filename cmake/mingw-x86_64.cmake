# Cross build for Windows with Debian's mingw-w64 "-posix" compilers (GoogleTest needs std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELTRIX_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${VELTRIX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRIX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VELTRIX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELTRIX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run under 64-bit Wine through our wrapper, which owns the prefix and the persistent server.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run)
