# The portable code as a 32-bit Linux build (-m32): 32-bit sizes and
# pointers, the i686 CRC folding form and its stack alignment, on every
# machine. Its programs run natively where the kernel runs 32-bit programs
# and under user-mode emulation where it does not (scripts/linux32-setup).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
# Debian's multiarch folders for the i386 libraries (zlib, libdeflate).
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
