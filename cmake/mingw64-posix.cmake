# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads) against the Windows
# SDK that scripts/windows-sdk makes: Qt in <sdk>/qt6-mingw, libusb in <sdk>/deps.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(q73580_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${q73580_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${q73580_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${q73580_triplet}-windres)
set(CMAKE_AR /usr/bin/${q73580_triplet}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${q73580_triplet}-ranlib CACHE FILEPATH "")

# The same default as scripts/windows-sdk; the environment variable wins, then the cache entry.
if(DEFINED ENV{Q73580_WINDOWS_SDK} AND NOT "$ENV{Q73580_WINDOWS_SDK}" STREQUAL "")
  set(q73580_sdk "$ENV{Q73580_WINDOWS_SDK}")
elseif(DEFINED Q73580_WINDOWS_SDK)
  set(q73580_sdk "${Q73580_WINDOWS_SDK}")
elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(q73580_sdk "$ENV{XDG_CACHE_HOME}/q73580/windows-sdk")
else()
  set(q73580_sdk "$ENV{HOME}/.cache/q73580/windows-sdk")
endif()
set(Q73580_WINDOWS_SDK "${q73580_sdk}" CACHE PATH "The Windows SDK (scripts/windows-sdk)")
# try_compile projects run this file again and need the folder too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES Q73580_WINDOWS_SDK)

set(CMAKE_FIND_ROOT_PATH /usr/${q73580_triplet} ${q73580_sdk}/qt6-mingw ${q73580_sdk}/deps)
set(CMAKE_PREFIX_PATH ${q73580_sdk}/qt6-mingw ${q73580_sdk}/deps)
# Qt's build tools (moc, rcc, lrelease) are the build machine's, of the same version.
if(NOT DEFINED QT_HOST_PATH)
  set(QT_HOST_PATH /usr CACHE PATH "")
endif()
if(NOT DEFINED QT_HOST_PATH_CMAKE_DIR)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
