// Helpers for the engine tests: scratch directories, files, and the engine
// called the way the system calls it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "zipengine.h"

namespace fs = std::filesystem;

namespace et {

#if defined(_WIN32)
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// A unique directory under the system's temporary directory, removed at the end.
class TempDir {
public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  // path + separator + rel (rel may use '/').
  std::string operator/(const std::string& rel) const;

private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& content);
// The whole file; empty when it cannot be read.
std::string readFile(const fs::path& path);
bool exists(const std::string& path);
std::string pseudoRandom(size_t n, uint32_t seed);
std::string compressible(size_t n);
// Text in the caller's code page (UTF-8 natively).
std::string ansi(const std::wstring& w);
// Modification time in seconds since 1970, and setting it.
int64_t mtimeOf(const std::string& path);
void setMtime(const std::string& path, int64_t t);
bool isReadOnly(const std::string& path);
void setReadOnly(const std::string& path, bool on);

struct Listed {
  std::string name;
  uint32_t size, csize;
  std::string date;
  uint16_t attrs;
};
// Count, then that many next-member calls; fails the test on a nonzero result.
std::vector<Listed> list(const std::string& zip);
std::vector<std::string> names(const std::string& zip);

// The system's rename callbacks, as its requests install them: add maps a
// source path below `sourceDir` into `folder` with forward slashes; extract
// maps a member below `folder` into `destDir`.
struct RenameContext {
  std::string sourceOrFolder;
  std::string folderOrDest;
};
int ZE_CALLBACK addRename(NAMEMAP* map, void* context);
int ZE_CALLBACK extractRename(NAMEMAP* map, void* context);

// Answers every question with `answer`, recording the codes asked.
struct QueryLog {
  int answer = ZE_ANSWER_ALL;
  std::vector<int> codes;
  std::vector<std::string> subjects;
};
int ZE_CALLBACK recordQuery(int32_t code, intptr_t a1, intptr_t, intptr_t, intptr_t, intptr_t, intptr_t, void* user);

struct ProgressLog {
  std::vector<int> values;
};
int ZE_CALLBACK recordProgress(int32_t, int32_t percent, void* user);

// A dzip block as the system fills it for adding, with the source
// directory's rename callback.
struct AddRequest {
  ZIPCMD cmd{};
  std::string items, root, workDir, comment = "Zip file created using Marrowbox";
  RenameContext ctx;
  QueryLog query;
  AddRequest(const std::string& zip, const std::string& sourceDir, const std::string& folder = "");
  int run();

private:
  std::string zip_;
};

// Quotes each path and joins them with blanks.
std::string spec(const std::vector<std::string>& items);

int addAll(const std::string& zip, const std::string& sourceDir, const std::vector<std::string>& rel,
           int level = 4);
// A literal member list: each item is its kind character and name.
std::string literal(const std::vector<std::pair<char, std::string>>& items);

// `literal`: memberSpec is a literal list (see literal()).
int remove(const std::string& zip, const std::string& memberSpec, bool literal = false);
int extract(const std::string& zip, const std::string& memberSpec, const std::string& destDir,
            const std::string& folder = "", QueryLog* query = nullptr, bool literal = false);

}  // namespace et
