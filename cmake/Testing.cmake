# add_gtest(NAME SOURCES... [LIBS libs...] [LABELS labels...])
# One CTest entry per test program; on Windows builds CTest runs it under Wine.
function(add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main project_warnings)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "MBX_SOURCE_DIR=${CMAKE_SOURCE_DIR};MBX_BINARY_DIR=${CMAKE_BINARY_DIR}")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# Tests whose windows, focus changes or broadcasts reach other processes on
# the shared X server and Wine desktop run one at a time.
function(uses_desktop)
  foreach(test IN LISTS ARGN)
    set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK desktop)
  endforeach()
endfunction()
