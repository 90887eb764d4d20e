# Cross build of the Windows x64 module with mingw-w64 on Linux.
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Test programs run under wine64 through the emulator wrapper below, with a
# wine prefix of their own inside the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TM_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model gives std::thread and std::mutex.
set(CMAKE_C_COMPILER ${TM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TM_MINGW_PREFIX}-windres)

# Libraries, headers and CMake package files come only from the cross
# environment, never from the Linux system; programs (python, scripts) still
# come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# add_test and ctest run every Windows program through wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix)
