# ARMv7 (Thumb-2) Windows, such as Windows IoT (clang, lld).
set(CMAKE_SYSTEM_PROCESSOR ARM)
set(OLM_CLANG_TARGET armv7-w64-windows-gnu)
set(OLM_DLLTOOL_MACHINE arm)
include(${CMAKE_CURRENT_LIST_DIR}/clang-windows.cmake)
