# Cross toolchain via Debian's MinGW-w64 (posix thread model), shared by
# mingw-i686.cmake and mingw-x86_64.cmake, which set the triple and processor.
# Used both for the dependency build (scripts/build-deps.sh) and for the project.
set(CMAKE_SYSTEM_NAME Windows)

# The posix variants: std::thread/std::mutex need winpthreads.
set(CMAKE_C_COMPILER   ${VANTORO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTORO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VANTORO_MINGW_TRIPLE}-windres)
set(CMAKE_AR           ${VANTORO_MINGW_TRIPLE}-ar     CACHE FILEPATH "")
set(CMAKE_RANLIB       ${VANTORO_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# try_compile projects re-read this file without the cache; pass the prefix on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VANTORO_DEPS)
if(NOT VANTORO_DEPS AND DEFINED ENV{VANTORO_DEPS})
  set(VANTORO_DEPS "$ENV{VANTORO_DEPS}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${VANTORO_MINGW_TRIPLE})
if(VANTORO_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH "${VANTORO_DEPS}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Ship executables that need nothing but Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
