# Cross-compiles the 32-bit Windows console program with Debian's mingw-w64
# (package g++-mingw-w64-i686).
set(XLATE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
