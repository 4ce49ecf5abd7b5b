# 32-bit Windows (i686), the vendor library's own architecture, with
# Debian's MinGW-w64.
set(ZEL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZEL_WINE_LOADER_DEFAULT /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
