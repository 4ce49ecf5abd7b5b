# Cross-build for Windows with Debian's MinGW-w64 compilers. Included by the
# per-architecture toolchain files, which set ZEL_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ZEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The programs and DLLs share one copy of the compiler's runtime DLLs
# (libstdc++, libgcc, winpthread), which the build copies beside them
# (cmake/windows-deps.cmake), so C++ objects and exceptions cross the DLLs of
# the project as they cross shared libraries on POSIX.
# ctest runs the Windows programs through wine's loader for the build's
# architecture, named directly (Debian's plain `wine` launcher picks the
# 32-bit loader whenever wine32 is installed, even for 64-bit programs), by
# way of scripts/wine-run.sh, which starts again a wine process that ended
# before the program ran.
set(ZEL_WINE_LOADER ${ZEL_WINE_LOADER_DEFAULT} CACHE FILEPATH "wine's loader for this architecture")
get_filename_component(ZEL_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEL_WINE_RUN} ${ZEL_WINE_LOADER})
