# What both MinGW-w64 toolchains share; the toolchain file sets DALTRIX_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: the default win32 thread model's library has no std::mutex or std::thread.
set(CMAKE_C_COMPILER ${DALTRIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DALTRIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DALTRIX_MINGW_TRIPLET}-windres)
set(DALTRIX_OBJDUMP ${DALTRIX_MINGW_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${DALTRIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wide Win32 calls everywhere, in the third-party code built with us as well.
set(CMAKE_C_FLAGS_INIT "-DUNICODE -D_UNICODE")
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE")

# The program has to run from its one file: with shared runtimes Windows (and Wine) stop at a
# missing libwinpthread-1.dll, libgcc_s or libstdc++-6.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
