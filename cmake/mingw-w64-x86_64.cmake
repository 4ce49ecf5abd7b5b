# 64-bit Windows (x86-64) with Debian's MinGW-w64.
set(ZEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZEL_WINE_LOADER_DEFAULT /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
