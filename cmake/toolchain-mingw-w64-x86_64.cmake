# Cross-builds Windows programs (x86_64) with Debian's mingw-w64 compiler and
# runs them under Wine.
#
#   cmake -S . -B build-win32 -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64-x86_64.cmake
#
# The posix-thread variant of the compiler is the one that has std::thread
# and std::mutex, which GoogleTest needs. Programs are linked statically, so
# Wine needs no mingw runtime DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LARKSPIRE_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${LARKSPIRE_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${LARKSPIRE_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${LARKSPIRE_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw sysroot only; programs run on the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${LARKSPIRE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs run through Wine, quietly, in a Wine prefix of the build folder's
# own so that the tests never touch the user's ~/.wine. The Mono and Gecko
# installers are switched off: nothing here needs them, and they would ask.
find_program(LARKSPIRE_WINE NAMES wine REQUIRED)
if(NOT LARKSPIRE_WINEPREFIX)
  set(LARKSPIRE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
endif()
set(LARKSPIRE_WINE_ENV WINEDEBUG=-all "WINEPREFIX=${LARKSPIRE_WINEPREFIX}" "WINEDLLOVERRIDES=mscoree,mshtml=")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${LARKSPIRE_WINE_ENV} ${LARKSPIRE_WINE})
