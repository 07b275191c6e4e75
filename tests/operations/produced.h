// Every archive a change produced is kept for the other archivers to test
// (CTest produced_archives_verify).
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

inline void KeepProduced(const std::string& zip, const std::string& name) {
  const char* binaryDir = getenv("MBX_BINARY_DIR");
  ASSERT_NE(nullptr, binaryDir);
  const std::string directory = std::string("Z:") + binaryDir + "/tests/operations/produced";
  CreateDirectoryA(directory.c_str(), nullptr);
  CopyFileA(zip.c_str(), (directory + "\\" + name + ".zip").c_str(), FALSE);
}
