# The product: 32-bit Windows, built with the posix-thread mingw-w64
# compilers; its tests run under Wine's 32-bit loader.
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
