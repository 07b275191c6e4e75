# Interoperability with other archivers, which serve as oracles: native only,
# the tools run on the build host.
if(NOT WIN32)
  add_gtest(interop_read_test SOURCES interop_read_test.cpp LIBS engine_testutil LABELS interop)
  add_gtest(interop_write_test SOURCES interop_write_test.cpp LIBS engine_testutil LABELS interop)
endif()
