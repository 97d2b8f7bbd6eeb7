# Cross toolchain: 64-bit Windows, for machines that cannot run 32-bit code.
set(VANTORO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
