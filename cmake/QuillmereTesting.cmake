# Test registration shared by both builds.
#
# Natively every GoogleTest case becomes its own ctest entry. In the Windows build each test
# program is registered once: every Wine start costs seconds, so one start per program.

if(WIN32)
  if(NOT TARGET GTest::gtest_main)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  endif()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# quillmere_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>] [WINDOWS_GUI])
function(quillmere_add_test name)
  cmake_parse_arguments(T "WINDOWS_GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE QUILLMERE_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
