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

# Runs a test program twice, as NAME_1252 under code page 1252 and as
# NAME_932 under the double-byte 932: Wine takes the code page from the
# locale, and rewrites the prefix's regional settings when it changes, so
# the runs go one at a time.  The program reads MBX_EXPECT_ACP to check it.
function(add_code_page_tests name program)
  foreach(run IN ITEMS "1252;C.UTF-8" "932;ja_JP.UTF-8")
    list(GET run 0 acp)
    list(GET run 1 locale)
    add_test(NAME ${name}_${acp} COMMAND ${program} --gtest_brief=1)
    set_tests_properties(${name}_${acp} PROPERTIES
      ENVIRONMENT "MBX_SOURCE_DIR=${CMAKE_SOURCE_DIR};MBX_BINARY_DIR=${CMAKE_BINARY_DIR};LC_ALL=${locale};MBX_EXPECT_ACP=${acp}"
      RUN_SERIAL TRUE)
  endforeach()
endfunction()
