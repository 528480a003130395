# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
# The posix-threads compilers are preferred: GoogleTest needs <mutex>.
# Everything is linked statically, so the .exe files need no DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
find_program(D88CUT_MINGW_CXX NAMES ${triple}-g++-posix ${triple}-g++ REQUIRED)
find_program(D88CUT_MINGW_CC NAMES ${triple}-gcc-posix ${triple}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${D88CUT_MINGW_CXX})
set(CMAKE_C_COMPILER ${D88CUT_MINGW_CC})
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs cannot run at build time here; list their tests when ctest
# runs instead (through an emulator such as wine, if one is set).
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
