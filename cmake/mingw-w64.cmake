# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads,
# so std::thread and the runtime DLLs match what Qt is built with).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZW_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZW_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
