// awkward.zip, written by another tool (tests/archive/make_foreign_archives.sh):
// names a pattern reader would misread, each beside names it could be
// taken for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace awkward {

// As listed (backslashes, folders with a trailing one).  The bystanders come
// first, so an extraction that takes too much writes them before it meets
// a name Windows refuses.
inline const std::vector<std::string> kListed = {
    "a.txt", "whatA.txt", "whatB.txt", "x", "keep.txt", "b.txt", "lead.txt", "fx\\", "fx\\in.txt", "f*x",
    "*", "what?.txt", "x\" \"keep.txt", "[b].txt", " lead.txt", "f*\\", "f*\\in.txt"};
// The files a test selects one at a time.
inline const std::vector<std::string> kSelectedFiles = {"*", "what?.txt", "x\" \"keep.txt", "[b].txt",
                                                        " lead.txt"};

// Where the build made it; empty when the test runs outside CTest.
inline std::string ArchivePath() {
  const char* binaryDir = getenv("MBX_BINARY_DIR");
  if (binaryDir == nullptr) return {};
  std::string path = std::string("Z:") + binaryDir + "/tests/archive/foreign/awkward.zip";
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// The listed names, sorted, without those gone.
inline std::vector<std::string> ListedWithout(const std::vector<std::string>& gone) {
  std::vector<std::string> rest;
  for (const std::string& name : kListed)
    if (std::find(gone.begin(), gone.end(), name) == gone.end()) rest.push_back(name);
  std::sort(rest.begin(), rest.end());
  return rest;
}

inline std::vector<std::string> Names(const std::map<std::string, uint32_t>& listing) {
  std::vector<std::string> names;
  for (const auto& entry : listing) names.push_back(entry.first);
  return names;
}

}  // namespace awkward
