# What both Windows cross builds share; the toolchain files name the target first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUILLMERE_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMERE_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMERE_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMERE_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests run under Wine, in a prefix of the build folder's own; cmake/wine-run picks the loader.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run" CACHE FILEPATH "Runs Windows test programs")
