# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
# The posix thread model gives std::thread and std::mutex; the programs link
# statically, so nothing needs to be copied beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TELVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TELVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TELVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TELVANE_MINGW_TRIPLET}-windres)

# Headers and libraries from the target's tree only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TELVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under wine, always inside a private network namespace: wine's sockets
# live in its wineserver, which must not be on the host's network.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --netns)

# Header-only packages of the host, offered without the rest of the host's headers.
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/cross-packages)
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/cross-packages)
