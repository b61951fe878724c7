# Cross-compiles the 64-bit Windows console program with Debian's mingw-w64
# (package g++-mingw-w64-x86-64).
set(XLATE_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
