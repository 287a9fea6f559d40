# Cross build of the same source for 64-bit Windows with Debian's mingw-w64 (posix threads).
# Not shipped (64-bit Windows has no Jet provider for mydata.mdb): it runs the Windows tests on
# machines whose CPU cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLMERE_MINGW_TARGET x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
