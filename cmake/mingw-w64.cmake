# Cross-build for desktop Windows with Debian's mingw-w64, included by the
# per-CPU files beside it (OLM_MINGW_TRIPLE); the result runs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${OLM_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${OLM_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${OLM_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OLM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
