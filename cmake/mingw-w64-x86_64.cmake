# Cross-compiles the Qt-free core and quillora-cli for 64-bit Windows with
# Debian's MinGW-w64 (the POSIX-threads flavour, for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Debian's MinGW-w64 libraries; before them, a MinGW prefix of one's own
# (lib/, include/) that QUILLORA_LIBGCRYPT_PREFIX names, to relink the
# programs with a libgcrypt and libgpg-error of one's own (the README's
# "Rebuilding with other libraries"). Read from the environment, as a
# toolchain file is read again for each of CMake's trial builds.
set(CMAKE_FIND_ROOT_PATH $ENV{QUILLORA_LIBGCRYPT_PREFIX} /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# One self-contained .exe: no MinGW runtime DLLs to ship or to find under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
