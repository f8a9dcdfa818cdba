# Cross-compiles for Windows x64 with MinGW-w64 (posix threads) against the
# toolchain that scripts/windows/toolchain.sh builds into QUORBEL_MINGW_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(NOT QUORBEL_MINGW_PREFIX)
    set(QUORBEL_MINGW_PREFIX "$ENV{QUORBEL_MINGW_PREFIX}")
endif()
if(NOT QUORBEL_MINGW_PREFIX)
    set(QUORBEL_MINGW_PREFIX /opt/quorbel-mingw-qt5.15.8-pg15-xlsx1.1.4)
endif()
set(QUORBEL_MINGW_PREFIX "${QUORBEL_MINGW_PREFIX}" CACHE PATH "Windows cross toolchain")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORBEL_MINGW_PREFIX)

set(triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER /usr/bin/${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${triplet}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${triplet}-windres)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

set(CMAKE_FIND_ROOT_PATH "${QUORBEL_MINGW_PREFIX}" /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt, libpq and libxlsxwriter of the toolchain; zlib of Debian's MinGW package.
list(APPEND CMAKE_PREFIX_PATH "${QUORBEL_MINGW_PREFIX}")
set(PostgreSQL_ROOT "${QUORBEL_MINGW_PREFIX}")
