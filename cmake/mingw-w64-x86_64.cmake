# Cross-compiling for 64-bit Windows with mingw-w64; the tests run under wine64.
# The posix thread model: Google Test needs std::mutex, which the win32 model lacks.
# Everything is linked statically, so no thread library DLL is needed at run time.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TELINV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TELINV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TELINV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TELINV_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TELINV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
