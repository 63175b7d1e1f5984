# Cross-compiling the shipped 32-bit telinv.exe with mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TELINV_MINGW_PREFIX i686-w64-mingw32)
# The win32 thread model's compilers by their own names where the machine has them
# (Debian): the plain names are alternatives that a machine may point at the posix model,
# whose build differs (its compiler's name is in the file), so a release could not be
# built again there.
find_program(TELINV_MINGW_CC NAMES ${TELINV_MINGW_PREFIX}-gcc-win32 ${TELINV_MINGW_PREFIX}-gcc)
find_program(TELINV_MINGW_CXX NAMES ${TELINV_MINGW_PREFIX}-g++-win32 ${TELINV_MINGW_PREFIX}-g++)
set(CMAKE_C_COMPILER ${TELINV_MINGW_CC})
set(CMAKE_CXX_COMPILER ${TELINV_MINGW_CXX})
set(CMAKE_RC_COMPILER ${TELINV_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TELINV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
