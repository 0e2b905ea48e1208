# 64-bit x86 desktop Windows (mingw-w64).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(OLM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
