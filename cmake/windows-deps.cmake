# Third-party code for the Windows build, all of it from Debian: GoogleTest
# from /usr/src/googletest (package googletest), pugixml, cpp-httplib and SQLite from
# their Debian source packages (scripts/windows-sources.sh unpacks them and
# makes SQLite's single-file form), the header-only libraries as installed,
# and libgcrypt from libgcrypt-mingw-w64-dev. The results carry the targets
# the POSIX build gets from the system.
set(ZEL_WINDOWS_SOURCES "" CACHE PATH "Folder holding the unpacked pugixml and sqlite3 sources")
if(NOT EXISTS ${ZEL_WINDOWS_SOURCES}/pugixml/src/pugixml.cpp
   OR NOT EXISTS ${ZEL_WINDOWS_SOURCES}/sqlite3/sqlite3.c
   OR NOT EXISTS ${ZEL_WINDOWS_SOURCES}/cpp-httplib/httplib.h)
  message(FATAL_ERROR "ZEL_WINDOWS_SOURCES must name the folder scripts/windows-sources.sh fills")
endif()

# Only the wanted headers of /usr/include, never the folder itself (glibc's
# headers must stay out of a Windows build).
set(ZEL_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${ZEL_HOST_HEADERS})
file(CREATE_LINK /usr/include/nlohmann ${ZEL_HOST_HEADERS}/nlohmann SYMBOLIC)
file(CREATE_LINK ${ZEL_WINDOWS_SOURCES}/cpp-httplib/httplib.h ${ZEL_HOST_HEADERS}/httplib.h
  SYMBOLIC)

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(zel_pugixml STATIC ${ZEL_WINDOWS_SOURCES}/pugixml/src/pugixml.cpp)
target_include_directories(zel_pugixml SYSTEM PUBLIC ${ZEL_WINDOWS_SOURCES}/pugixml/src)
add_library(PkgConfig::PUGIXML ALIAS zel_pugixml)

enable_language(C)
add_library(zel_sqlite3 STATIC ${ZEL_WINDOWS_SOURCES}/sqlite3/sqlite3.c)
target_include_directories(zel_sqlite3 SYSTEM PUBLIC ${ZEL_WINDOWS_SOURCES}/sqlite3)
target_compile_definitions(zel_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION)
add_library(SQLite::SQLite3 ALIAS zel_sqlite3)

add_library(zel_nlohmann_json INTERFACE)
target_include_directories(zel_nlohmann_json SYSTEM INTERFACE ${ZEL_HOST_HEADERS})
add_library(nlohmann_json::nlohmann_json ALIAS zel_nlohmann_json)

add_library(zel_httplib INTERFACE)
target_include_directories(zel_httplib SYSTEM INTERFACE ${ZEL_HOST_HEADERS})
target_link_libraries(zel_httplib INTERFACE ws2_32 crypt32)
add_library(PkgConfig::HTTPLIB ALIAS zel_httplib)

# libgcrypt and libgpg-error linked statically into sign_bema.dll.
find_library(ZEL_GCRYPT_LIBRARY NAMES libgcrypt.a REQUIRED)
find_library(ZEL_GPG_ERROR_LIBRARY NAMES libgpg-error.a REQUIRED)
find_path(ZEL_GCRYPT_INCLUDE gcrypt.h REQUIRED)
add_library(zel_gcrypt INTERFACE)
target_include_directories(zel_gcrypt SYSTEM INTERFACE ${ZEL_GCRYPT_INCLUDE})
target_link_libraries(zel_gcrypt INTERFACE ${ZEL_GCRYPT_LIBRARY} ${ZEL_GPG_ERROR_LIBRARY} ws2_32)
add_library(PkgConfig::GCRYPT ALIAS zel_gcrypt)
add_library(PkgConfig::GCRYPT_TESTS ALIAS zel_gcrypt)

# The compiler's runtime DLLs beside the programs and DLLs (see
# cmake/mingw-w64.cmake).
file(GLOB ZEL_MINGW_RUNTIME_DLLS
  /usr/lib/gcc/${ZEL_MINGW_TRIPLE}/*-posix/libstdc++-6.dll
  /usr/lib/gcc/${ZEL_MINGW_TRIPLE}/*-posix/libgcc_s_*.dll
  /usr/${ZEL_MINGW_TRIPLE}/lib/libwinpthread-1.dll)
if(NOT ZEL_MINGW_RUNTIME_DLLS)
  message(FATAL_ERROR "the MinGW-w64 runtime DLLs of ${ZEL_MINGW_TRIPLE} were not found")
endif()
file(COPY ${ZEL_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_BINARY_DIR}/bin)
