# ARM64 desktop Windows (clang, lld).
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(OLM_CLANG_TARGET aarch64-w64-windows-gnu)
set(OLM_DLLTOOL_MACHINE arm64)
include(${CMAKE_CURRENT_LIST_DIR}/clang-windows.cmake)
