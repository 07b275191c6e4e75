// The archive object as the shell meets it: through the registered DLL,
// created by class id and initialised with a real identifier list.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "grow_undo.h"
#include "process_state.h"
#include "registered_root.h"
#include "temp_dir.h"
#include "test_files.h"
#include "zip_maker.h"

namespace {

const CLSID kFileHandler = CLSID_FileHandler;

// Registers the built DLL the way a user does, with regsvr32 of the
// program's own bitness, and waits for it.
DWORD RunRegsvr32(const std::string& arguments) {
  std::string command = "regsvr32.exe /s " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return GetLastError();
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

std::string DllPath() { return std::string("Z:") + MBX_DLL_PATH; }

class RegisteredDll : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    ASSERT_EQ(0u, RunRegsvr32("\"" + DllPath() + "\""));
  }
  static void TearDownTestSuite() { CoUninitialize(); }

  void SetUp() override {
    for (const char* f : {"a\\b\\c.txt", "d.txt"}) source.Write(f, f);
    ASSERT_EQ(0, zip_maker::Add(zip, source.path(), {"a\\b\\c.txt", "d.txt"}));
  }

  IShellFolder* Browse() { return BrowseRegistered(zip); }

  TempDir source, archives;
  std::string zip = archives / "browsed.zip";
};

TEST_F(RegisteredDll, BothClassesAreCreatedByClassId) {
  IUnknown* handler = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kFileHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&handler)));
  handler->Release();
  CLSID viaProgId{};
  ASSERT_EQ(S_OK, CLSIDFromProgID(kZipFileProgIdWide.data(), &viaProgId));
  EXPECT_TRUE(IsEqualCLSID(kZipFile, viaProgId));
}

TEST_F(RegisteredDll, ABrowsedArchiveEnumeratesAndBindsItsFolders) {
  IShellFolder* folder = Browse();
  ASSERT_NE(nullptr, folder);
  IEnumIDList* e = nullptr;
  EXPECT_EQ(E_INVALIDARG, folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &e));
  ASSERT_EQ(S_OK, folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &e));
  PITEMID_CHILD item = nullptr;
  std::vector<PITEMID_CHILD> items;
  while (e->Next(1, &item, nullptr) == S_OK) items.push_back(item);
  e->Release();
  ASSERT_EQ(1u, items.size());

  STRRET name{};
  ASSERT_EQ(S_OK, folder->GetDisplayNameOf(items[0], SHGDN_INFOLDER | SHGDN_FORPARSING, &name));
  char text[MAX_PATH] = "";
  StrRetToBufA(&name, items[0], text, MAX_PATH);
  EXPECT_EQ(zip + " : a", std::string(text));

  IShellFolder* a = nullptr;
  ASSERT_EQ(S_OK, folder->BindToObject(items[0], nullptr, IID_IShellFolder, reinterpret_cast<void**>(&a)));
  IEnumIDList* inner = nullptr;
  ASSERT_EQ(S_OK, a->EnumObjects(nullptr, 0, &inner));
  ASSERT_EQ(S_OK, inner->Next(1, &item, nullptr));
  ASSERT_EQ(S_OK, a->GetDisplayNameOf(item, SHGDN_FORPARSING, &name));
  StrRetToBufA(&name, item, text, MAX_PATH);
  EXPECT_EQ(zip + " : a\\b", std::string(text));
  CoTaskMemFree(item);
  inner->Release();
  a->Release();
  for (PITEMID_CHILD i : items) CoTaskMemFree(i);
  folder->Release();
}

TEST_F(RegisteredDll, ANonFileSystemListCannotBeBrowsed) {
  IPersistFolder* persist = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kZipFile, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFolder,
                                   reinterpret_cast<void**>(&persist)));
  PIDLIST_ABSOLUTE drives = nullptr;
  ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives));
  EXPECT_EQ(E_FAIL, persist->Initialize(drives));
  CoTaskMemFree(drives);
  persist->Release();
}

// One interface an object was handed out as, named for failure messages.
struct Face {
  IID iid;
  const char* name;
};
#define FACE(I) Face { IID_##I, #I }

// COM's rules for an object handed out as handedOut: every interface it was
// handed out as answers QueryInterface from each of them, and all of them
// name the same IUnknown.
void ExpectOneIdentity(IUnknown* handedOut, const std::vector<Face>& faces, const std::string& what) {
  ASSERT_NE(nullptr, handedOut) << what;
  IUnknown* identity = nullptr;
  ASSERT_EQ(S_OK, handedOut->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) << what;
  for (const Face& from : faces) {
    IUnknown* face = nullptr;
    if (handedOut->QueryInterface(from.iid, reinterpret_cast<void**>(&face)) != S_OK || face == nullptr) {
      ADD_FAILURE() << what << " does not answer " << from.name;
      continue;
    }
    for (const Face& to : faces) {
      IUnknown* other = nullptr;
      EXPECT_EQ(S_OK, face->QueryInterface(to.iid, reinterpret_cast<void**>(&other)))
          << what << ": " << to.name << " from " << from.name;
      if (other != nullptr) other->Release();
    }
    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))) << what;
    EXPECT_EQ(identity, unknown) << what << ": the identity from " << from.name;
    if (unknown != nullptr) unknown->Release();
    face->Release();
  }
  identity->Release();
}

// Asks for an object as iid and checks it against every face it is handed
// out as; releases it.
template <typename Get>
void ExpectHandedOutWhole(const IID& iid, const std::vector<Face>& faces, const std::string& what, Get get) {
  IUnknown* object = nullptr;
  ASSERT_EQ(S_OK, get(iid, reinterpret_cast<void**>(&object))) << what;
  ExpectOneIdentity(object, faces, what);
  object->Release();
}

TEST_F(RegisteredDll, EveryObjectAnswersForEveryInterfaceItIsHandedOutAs) {
  for (const CLSID& id : {kZipFile, kFileHandler}) {
    ExpectHandedOutWhole(IID_IClassFactory, {FACE(IClassFactory)}, "a class object", [&](REFIID iid, void** out) {
      return CoGetClassObject(id, CLSCTX_INPROC_SERVER, nullptr, iid, out);
    });
  }
  ExpectHandedOutWhole(IID_IContextMenu, {FACE(IShellExtInit), FACE(IContextMenu)}, "the file handler",
                       [&](REFIID iid, void** out) {
                         return CoCreateInstance(kFileHandler, nullptr, CLSCTX_INPROC_SERVER, iid, out);
                       });

  IShellFolder* top = Browse();
  ASSERT_NE(nullptr, top);
  // The archive's top folder is the archive object itself; GetUIObjectOf
  // hands it out for icons.
  const std::vector<Face> folderFaces = {FACE(IShellFolder), FACE(IDropTarget), FACE(IContextMenu),
                                         FACE(IExtractIconA)};
  std::vector<Face> topFaces = folderFaces;
  for (const Face& face : {FACE(IPersist), FACE(IPersistFolder), FACE(IPersistFile), FACE(IShellExtInit)})
    topFaces.push_back(face);
  ExpectOneIdentity(top, topFaces, "the top folder");

  IEnumIDList* list = nullptr;
  ASSERT_EQ(S_OK, top->EnumObjects(nullptr, SHCONTF_FOLDERS, &list));
  ExpectOneIdentity(list, {FACE(IEnumIDList)}, "the enumerator");
  PITEMID_CHILD item = nullptr;
  ASSERT_EQ(S_OK, list->Next(1, &item, nullptr));
  list->Release();
  PCUITEMID_CHILD items[] = {item};

  for (const Face& bound : {FACE(IShellFolder), FACE(IDropTarget), FACE(IContextMenu)}) {
    ExpectHandedOutWhole(bound.iid, folderFaces, std::string("a sub-folder bound as ") + bound.name,
                         [&](REFIID iid, void** out) { return top->BindToObject(item, nullptr, iid, out); });
  }
  for (const Face& asked : {FACE(IShellFolder), FACE(IDropTarget), FACE(IExtractIconA)}) {
    ExpectHandedOutWhole(asked.iid, folderFaces, std::string("GetUIObjectOf's ") + asked.name,
                         [&](REFIID iid, void** out) { return top->GetUIObjectOf(nullptr, 1, items, iid, nullptr, out); });
  }
  ExpectHandedOutWhole(IID_IContextMenu, {FACE(IContextMenu)}, "an item menu", [&](REFIID iid, void** out) {
    return top->GetUIObjectOf(nullptr, 1, items, iid, nullptr, out);
  });
  ExpectHandedOutWhole(IID_IDataObject, {FACE(IDataObject)}, "a data object", [&](REFIID iid, void** out) {
    return top->GetUIObjectOf(nullptr, 1, items, iid, nullptr, out);
  });
  // IShellView is an IOleWindow: a browser may ask the view for its base.
  ExpectHandedOutWhole(IID_IShellView, {FACE(IShellView), FACE(IOleWindow)}, "the view",
                       [&](REFIID iid, void** out) { return top->CreateViewObject(nullptr, iid, out); });
  CoTaskMemFree(item);
  top->Release();
}


TEST_F(RegisteredDll, ASubFolderHeldOnlyByItsIdentityKeepsTheArchiveObject) {
  IShellFolder* top = Browse();
  ASSERT_NE(nullptr, top);
  IEnumIDList* list = nullptr;
  PITEMID_CHILD item = nullptr;
  ASSERT_EQ(S_OK, top->EnumObjects(nullptr, SHCONTF_FOLDERS, &list));
  ASSERT_EQ(S_OK, list->Next(1, &item, nullptr));
  list->Release();
  IShellFolder* a = nullptr;
  ASSERT_EQ(S_OK, top->BindToObject(item, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&a)));
  CoTaskMemFree(item);
  IUnknown* identity = nullptr;
  ASSERT_EQ(S_OK, a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  a->Release();
  top->Release();
  // Without the archive object the folder would be left with a dangling
  // root: stop here rather than touch it.
  ASSERT_TRUE(ArchiveObjectLives(zip));

  ASSERT_EQ(S_OK, identity->QueryInterface(IID_IShellFolder, reinterpret_cast<void**>(&a)));
  ASSERT_EQ(S_OK, a->EnumObjects(nullptr, SHCONTF_FOLDERS, &list));
  ASSERT_EQ(S_OK, list->Next(1, &item, nullptr));
  list->Release();
  STRRET name{};
  ASSERT_EQ(S_OK, a->GetDisplayNameOf(item, SHGDN_FORPARSING, &name));
  char text[MAX_PATH] = "";
  StrRetToBufA(&name, item, text, MAX_PATH);
  EXPECT_EQ(zip + " : a\\b", std::string(text));
  CoTaskMemFree(item);
  a->Release();
  identity->Release();
  // The archive's watcher may be listing it just now, holding it a moment longer.
  for (int i = 0; i < 500 && ArchiveObjectLives(zip); ++i) Sleep(10);
  EXPECT_FALSE(ArchiveObjectLives(zip)) << "the last reference went";
}

// A grow's undo record left beside an archive that was replaced since (by
// another tool's archive under the same name), and a record of the earlier
// layout made by hand: browsing changes neither archive.
TEST_F(RegisteredDll, AStaleUndoRecordIsNotAppliedToAnotherToolsArchive) {
  const std::string foreign = std::string("Z:") + getenv("MBX_BINARY_DIR") + "/tests/archive/foreign/infozip.zip";
  std::ifstream in(foreign, std::ios::binary);
  const std::string tool(std::istreambuf_iterator<char>(in), {});
  ASSERT_FALSE(tool.empty());
  auto readAll = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  auto topFolders = [&] {
    IShellFolder* folder = Browse();
    size_t n = 0;
    IEnumIDList* e = nullptr;
    if (folder && folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &e) == S_OK) {
      PITEMID_CHILD item = nullptr;
      while (e->Next(1, &item, nullptr) == S_OK) {
        CoTaskMemFree(item);
        ++n;
      }
      e->Release();
    }
    if (folder) folder->Release();
    return n;
  };

  // Our archive's real record, then the tool's archive renamed over it.
  {
    const std::string ours = readAll(zip);
    const size_t end = ours.rfind(std::string("PK\x05\x06", 4));
    ASSERT_NE(std::string::npos, end);
    uint32_t cdStart = 0;
    memcpy(&cdStart, ours.data() + end + 16, 4);
    ze::GrowUndo undo;
    ASSERT_TRUE(undo.record(zip, ours.size(), cdStart, std::vector<uint8_t>(ours.begin() + cdStart, ours.end())));
  }
  const std::string incoming = archives / "incoming.zip";
  std::ofstream(incoming, std::ios::binary) << tool;
  ASSERT_TRUE(MoveFileExA(incoming.c_str(), zip.c_str(), MOVEFILE_REPLACE_EXISTING));

  // The earlier layout: magic, old size 0, tail start 0, no tail, its CRC.
  const std::string second = archives / "second.zip";
  std::ofstream(second, std::ios::binary) << tool;
  unsigned char old[36] = {'M', 'B', 'X', 'U', 'N', 'D', 'O', '1'};
  const uint32_t crc = uint32_t(crc32(0, old, 32));
  memcpy(old + 32, &crc, 4);
  std::ofstream(second + ".~mbxundo", std::ios::binary).write(reinterpret_cast<const char*>(old), sizeof old);

  for (const std::string& path : {zip, second}) {
    zip = path;
    EXPECT_EQ(1u, topFolders()) << path;  // docs
    EXPECT_TRUE(readAll(path) == tool) << path;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((path + ".~mbxundo").c_str())) << path;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((path + ".~mbxundo.stale").c_str())) << path;
  }
}

// Members leaving through the data object the shell asks a folder for, from
// archives other tools wrote.
class DataObjectOfTools : public RegisteredDll, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    zip = std::string("Z:") + getenv("MBX_BINARY_DIR") + "/tests/archive/foreign/" + GetParam();
    std::replace(zip.begin(), zip.end(), '/', '\\');
  }

  // docs\ of the archive, as the tree pane binds it.
  IShellFolder* Docs() {
    IShellFolder* top = Browse();
    if (top == nullptr) return nullptr;
    IEnumIDList* e = nullptr;
    IShellFolder* docs = nullptr;
    PITEMID_CHILD item = nullptr;
    if (top->EnumObjects(nullptr, SHCONTF_FOLDERS, &e) == S_OK) {
      while (docs == nullptr && e->Next(1, &item, nullptr) == S_OK) {
        if (strcmp(reinterpret_cast<const char*>(item) + 2, "docs") == 0)
          top->BindToObject(item, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&docs));
        CoTaskMemFree(item);
      }
      e->Release();
    }
    top->Release();
    return docs;
  }

  // The identifier of a member as the shell stores it: 554 bytes whose
  // record starts with the member's name.  Members resolve by name.
  static std::vector<BYTE> ItemNamed(const char* name) {
    std::vector<BYTE> item(556, 0);
    item[0] = 554 & 0xFF;
    item[1] = 554 >> 8;
    strcpy(reinterpret_cast<char*>(item.data()) + 2, name);
    return item;
  }

  static std::vector<std::string> DropFiles(HGLOBAL drop) {
    std::vector<std::string> files;
    const UINT count = DragQueryFileA(static_cast<HDROP>(drop), 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      char path[MAX_PATH] = "";
      DragQueryFileA(static_cast<HDROP>(drop), i, path, MAX_PATH);
      files.push_back(path);
    }
    return files;
  }

  IDataObject* DataOf(IShellFolder* docs) {
    const std::vector<BYTE> img = ItemNamed("img"), readme = ItemNamed("readme.txt");
    PCUITEMID_CHILD items[] = {reinterpret_cast<PCUITEMID_CHILD>(img.data()),
                               reinterpret_cast<PCUITEMID_CHILD>(readme.data())};
    IDataObject* data = nullptr;
    EXPECT_EQ(S_OK, docs->GetUIObjectOf(nullptr, 2, items, IID_IDataObject, nullptr, reinterpret_cast<void**>(&data)));
    return data;
  }
};

TEST_P(DataObjectOfTools, TheFirstRequestExtractsOnceTheFilesTheListNames) {
  IShellFolder* docs = Docs();
  ASSERT_NE(nullptr, docs);
  IDataObject* data = DataOf(docs);
  ASSERT_NE(nullptr, data);
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(S_OK, data->QueryGetData(&format));
  STGMEDIUM first{};
  ASSERT_EQ(S_OK, data->GetData(&format, &first));
  const std::vector<std::string> files = DropFiles(first.hGlobal);
  ASSERT_EQ(2u, files.size());
  EXPECT_EQ("img", files[0].substr(files[0].rfind('\\') + 1));
  EXPECT_EQ("GIF89a-a", ReadAll(files[0] + "\\a.gif"));
  EXPECT_EQ("GIF89a-b", ReadAll(files[0] + "\\sub\\b.gif"));
  EXPECT_EQ("read me", ReadAll(files[1]));
  const std::string workspace = files[0].substr(0, files[0].rfind('\\'));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((workspace + "\\top.txt").c_str()))
      << "only the selection is extracted";

  // A second request extracts nothing again and gets its own equal copy.
  std::ofstream(files[1], std::ios::trunc) << "changed";
  STGMEDIUM second{};
  ASSERT_EQ(S_OK, data->GetData(&format, &second));
  EXPECT_NE(first.hGlobal, second.hGlobal);
  EXPECT_EQ(files, DropFiles(second.hGlobal));
  EXPECT_EQ("changed", ReadAll(files[1]));
  ReleaseStgMedium(&first);
  ReleaseStgMedium(&second);

  FORMATETC text{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM none{};
  EXPECT_EQ(DV_E_FORMATETC, data->GetData(&text, &none));
  data->Release();
  docs->Release();
}

TEST_P(DataObjectOfTools, NothingIsExtractedWhileTheMouseIsCaptured) {
  IShellFolder* docs = Docs();
  ASSERT_NE(nullptr, docs);
  IDataObject* data = DataOf(docs);
  ASSERT_NE(nullptr, data);
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetCapture(window);
  ASSERT_EQ(window, GetCapture());
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM during{};
  ASSERT_EQ(S_OK, data->GetData(&format, &during));
  const std::vector<std::string> files = DropFiles(during.hGlobal);
  ASSERT_EQ(2u, files.size());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(files[1].c_str())) << "a target only looked";
  ReleaseCapture();
  DestroyWindow(window);
  STGMEDIUM dropped{};
  ASSERT_EQ(S_OK, data->GetData(&format, &dropped));
  EXPECT_EQ("read me", ReadAll(files[1]));
  ReleaseStgMedium(&during);
  ReleaseStgMedium(&dropped);
  data->Release();
  docs->Release();
}

INSTANTIATE_TEST_SUITE_P(Tools, DataObjectOfTools,
                         ::testing::Values("python.zip", "python-stream.zip", "bsdtar.zip", "bsdtar-zip64.zip",
                                           "bsdtar-dot.zip", "7z.zip", "infozip.zip"),
                         [](const auto& info) {
                           std::string name = info.param;
                           name = name.substr(0, name.find('.'));
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name == "7z" ? std::string("sevenzip") : name;
                         });

}  // namespace
