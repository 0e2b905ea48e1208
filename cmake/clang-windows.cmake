# Cross-build for ARM desktop Windows with clang and lld, included by the
# per-CPU files beside it. Debian ships the mingw-w64 headers for every CPU
# but no ARM libraries: the program links no runtime, and its import
# libraries are made from platform/win32/*.def (OLM_DLLTOOL_MACHINE).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${OLM_CLANG_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${OLM_CLANG_TARGET})
set(CMAKE_RC_COMPILER /usr/lib/llvm-14/bin/llvm-windres)
set(CMAKE_RC_FLAGS_INIT "--target=${OLM_CLANG_TARGET} -I/usr/share/mingw-w64/include")
set(CMAKE_CXX_FLAGS_INIT "-isystem /usr/share/mingw-w64/include")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -nostdlib")
# With no runtime to link, the compiler checks can only build libraries.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Nor any of the libraries CMake links by default on Windows.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
