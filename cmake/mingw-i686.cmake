# The product: 32-bit Windows, built with the posix-thread mingw-w64 compilers.
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
