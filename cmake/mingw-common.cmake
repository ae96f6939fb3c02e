# Shared part of the MinGW-w64 cross builds (posix thread model). The toolchain files of the two
# architectures set CMAKE_SYSTEM_PROCESSOR and _tc (the target triplet) and include this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   /usr/bin/${_tc}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${_tc}-g++-posix)
set(CMAKE_RC_COMPILER  /usr/bin/${_tc}-windres)
set(CMAKE_DLLTOOL      /usr/bin/${_tc}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${_tc})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# ANSI build: UNICODE stays undefined.
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601)
# Static runtime: without it the programs need libwinpthread-1.dll beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# ctest runs the programs through the project's loader wrapper, which starts the Wine loader of the
# prefix's architecture (WINEARCH), as scripts/wine-env.sh sets it.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine/wine)
