# Cross-compiles the 32-bit Windows build with MinGW-w64: the one for sites whose old database
# driver exists only as 32-bit.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(DALTRIX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
