# 32-bit Linux (i386) with the host compilers and -m32 (g++-multilib), against the i386 libraries
# of a multiarch Debian (zlib1g-dev:i386). It serves the tests: its size_t and long are 32 bits
# wide, as in the 32-bit Windows product. Its programs run under qemu-i386, named here as the
# emulator for ctest and try_run: on a 64-bit kernel without 32-bit support, or without a binfmt
# entry for qemu, an i386 program cannot be started directly.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
find_program(CMAKE_C_COMPILER NAMES gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES g++ REQUIRED)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
# Only the i386 libraries: a 64-bit library or package file found first would fail at link time.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu
    /usr/lib/x86_64-linux-gnu/cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(ZIPSFX_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZIPSFX_QEMU_I386})
