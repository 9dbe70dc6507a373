# Cross build of the 64-bit Windows executables with Clang against MinGW-w64's headers and
# libraries (the same static runtime as the GCC build), linked by lld: a second compiler
# family, so code that only one of them accepts is caught.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_SYSROOT /usr/${triple})
# Clang finds MinGW-w64's C headers in the sysroot; the C++ library is GCC's (posix threads).
file(GLOB gcc_dir LIST_DIRECTORIES true /usr/lib/gcc/${triple}/*-posix)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${gcc_dir}/include/c++ -isystem ${gcc_dir}/include/c++/${triple}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_dir}")
# libstdc++ of the posix flavour needs winpthreads, which GCC adds by itself and Clang does not.
set(CMAKE_CXX_STANDARD_LIBRARIES "-lpthread" CACHE STRING "" FORCE)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
