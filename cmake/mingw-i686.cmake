# The launcher as the 32-bit Windows program it is, built with mingw-w64 on
# Debian. The -posix compiler is the one with std::thread. Test programs run
# under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(_triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)

# Libraries and headers of the Windows side only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(QM_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QM_WINE})

# The wide Win32 functions by their plain names, as the launcher calls them.
add_compile_definitions(UNICODE _UNICODE)
# The C and C++ runtimes go into every program: a player's machine has no
# mingw DLLs, and a test under Wine finds none either.
add_link_options(-static)
