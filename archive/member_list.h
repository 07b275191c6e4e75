// The lists the DLL hands the engine, each built in one place.  Members go
// as a literal list, so a member called "*", "a?.txt" or holding a quote
// names itself and nothing else; their paths are stored names with
// backslashes, relative to the archive.
#pragma once

#include <string>
#include <utility>

#include "zipengine.h"

class MemberList {
 public:
  // A file, or a folder's directory entry of that name.
  void AddMember(const std::string& path) { Add(ZE_ITEM_MEMBER, path); }
  // The file of that name only, never a folder's entry or contents: for a
  // file beside a folder of its name.
  void AddFile(const std::string& path) { Add(ZE_ITEM_FILE, path); }
  // A folder's own entry, not what lies below it.
  void AddFolderEntry(const std::string& path) { Add(ZE_ITEM_ENTRY, path); }
  // A folder with its entry and everything below; the top folder ("") is
  // every member.
  void AddFolderTree(const std::string& path) {
    if (path.empty()) Add(ZE_ITEM_ALL, path);
    else Add(ZE_ITEM_TREE, path);
  }

  bool Empty() const { return m_text.empty(); }
  // Items with their terminators; the string's own terminator closes the
  // list, so c_str() is what the engine reads.
  const std::string& Text() const { return m_text; }

 private:
  void Add(char kind, const std::string& path) {
    m_text += kind;
    m_text += path;
    m_text += '\0';
  }

  std::string m_text;
};

// The files an add takes from disk, as the engine reads them: each path in
// double quotes, blank-separated, so a blank in a name stays in the name.
class AddSpec {
 public:
  AddSpec() = default;
  // Continues a list already built.
  explicit AddSpec(std::string text) : m_text(std::move(text)) {}

  void Add(const std::string& path) {
    if (!m_text.empty()) m_text += ' ';
    m_text += '"';
    m_text += path;
    m_text += '"';
  }

  bool Empty() const { return m_text.empty(); }
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
};
