#include "file_handler.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "drop_data.h"
#include "empty_archive.h"
#include "exception.h"
#include "guard.h"
#include "resource.h"
#include "strings.h"
#include "user_interaction.h"
#include "verbs.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_file.h"

using Microsoft::WRL::ComPtr;

namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(FileSystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Case is ignored for the ASCII letters only, and they are all it has.
bool HasZipExtension(const std::string& path) {
  if (path.size() < 4) return false;
  const std::string tail = path.substr(path.size() - 4);
  return tail[0] == '.' && (tail[1] | 0x20) == 'z' && (tail[2] | 0x20) == 'i' && (tail[3] | 0x20) == 'p';
}

// Writes the empty archive into a file opened for writing, and closes it.
void WriteEmptyArchive(UniqueFileHandle file) {
  DWORD written = 0;
  if (!WriteFile(file.get(), kEmptyArchive, sizeof(kEmptyArchive), &written, nullptr) ||
      written != sizeof(kEmptyArchive))
    throw CZipWinException(0, 0);
  if (!CloseHandle(file.release())) throw CZipWinException(0, 0);
}

UniqueFileHandle CreateArchiveFile(const std::string& path, DWORD disposition) {
  return UniqueFileHandle(CreateFileW(FileSystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A new empty archive of a name no file had, in directory: where a
// replacement is built.  The system's temporary names stop short of
// MAX_PATH, so the name is picked here, for directories of any depth.
std::string CreateBuildingArchive(const std::string& directory) {
  static LONG counter = 0;
  const std::string base = (directory.empty() ? std::string(".") : directory) + "\\mbx";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const unsigned long unique = (GetCurrentProcessId() << 20) ^ GetTickCount() ^
                                 static_cast<unsigned long>(InterlockedIncrement(&counter));
    char suffix[16];
    snprintf(suffix, sizeof(suffix), "%lx.tmp", unique & 0xFFFFFFFFul);
    const std::string candidate = base + suffix;
    UniqueFileHandle file = CreateArchiveFile(candidate, CREATE_NEW);
    if (file) {
      WriteEmptyArchive(std::move(file));
      return candidate;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw CZipWinException(0, 0);
}

bool IsDirectoryEmpty(const std::string& folder) {
  WIN32_FIND_DATAW found;
  UniqueFindHandle find(FindFirstFileW(FileSystemPath(folder + "\\*").c_str(), &found));
  if (!find) return true;
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") return false;
  } while (FindNextFileW(find.get(), &found));
  return true;
}

// The folder's direct content, hidden entries included, as a drop list.
// A name with a lone surrogate refuses the list: it could not be named.
HGLOBAL FolderContentDropList(const std::string& folder) {
  std::vector<std::string> paths;
  WIN32_FIND_DATAW found;
  UniqueFindHandle find(FindFirstFileW(FileSystemPath(folder + "\\*").c_str(), &found));
  if (find) {
    do {
      const std::wstring_view name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      paths.push_back(folder + '\\' + WideToUtf8(name));
    } while (FindNextFileW(find.get(), &found));
  }
  return MakeWideDropFiles(paths);
}

// A data object that offers one drop list; the shell's own implementation
// keeps the block (SHCreateDataObject would need an item list).
class DropListData final : public ComObject, public IDataObject {
 public:
  DropListData(IUnknown* outer, HGLOBAL drop) : ComObject(outer), m_drop(drop) {}
  DECLARE_COM_OBJECT()

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format == nullptr || medium == nullptr) return E_INVALIDARG;
    const HRESULT offered = QueryGetData(format);
    if (offered != S_OK) return offered;
    HGLOBAL copy = CopyGlobal(m_drop.get());
    if (copy == nullptr) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    if (format == nullptr) return E_INVALIDARG;
    if (format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    return format->dwAspect == DVASPECT_CONTENT ? S_OK : DV_E_DVASPECT;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out != nullptr) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &format, out);
  }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 protected:
  const InterfaceEntry* Interfaces() const override {
    static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(DropListData, IDataObject), {nullptr, 0}};
    return table;
  }

 private:
  UniqueGlobal m_drop;
};

}  // namespace

HRESULT CreateFileHandlerObject(IUnknown* outer, REFIID iid, void** out) {
  return CreateComInstance<CFileHandler>(outer, iid, out);
}

const InterfaceEntry* CFileHandler::Interfaces() const {
  static const InterfaceEntry table[] = {COM_INTERFACE_ENTRY(CFileHandler, IShellExtInit),
                                         COM_INTERFACE_ENTRY(CFileHandler, IContextMenu), {nullptr, 0}};
  return table;
}

STDMETHODIMP CFileHandler::Initialize(PCIDLIST_ABSOLUTE, IDataObject* selection, HKEY) {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    m_hDropList.reset();
    m_strPath.clear();
    const DropFilesMedium files(selection);
    if (!files.Offered()) return S_FALSE;
    // Read before the copy: a malformed or empty block is no selection, and
    // no shortage of memory.
    const auto paths = ReadDropFiles(files.get());
    if (!paths || paths->empty()) return E_INVALIDARG;
    // The list is copied: the shell's medium may belong to its data object.
    UniqueGlobal copy(CopyGlobal(files.get()));
    if (!copy) throw CZipWinException(0, ERROR_NOT_ENOUGH_MEMORY);

    const std::string path = paths->front();
    const DWORD attributes = GetFileAttributesW(FileSystemPath(path).c_str());
    if (paths->size() > 1)
      m_nKind = kSeveral;
    else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      m_nKind = kOneFolder;
    else if (HasZipExtension(path))
      m_nKind = kZipFile;
    else
      m_nKind = kOneFile;
    m_strPath = path;
    m_hDropList = std::move(copy);
    return S_OK;
  });
}

STDMETHODIMP CFileHandler::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT, UINT flags) {
  return ComGuard(E_FAIL, [&]() -> HRESULT {
    if (!m_hDropList || m_nKind == kZipFile) return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 1);
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
    const std::string text = LoadStr(IDS_COPY_TO_ZIP);
    if (!InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, firstId, Utf8ToWide(text).c_str()))
      throw CZipWinException(0, 0);
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 1);
  });
}

STDMETHODIMP CFileHandler::GetCommandString(UINT_PTR, UINT type, UINT*, CHAR* name, UINT size) {
  return ComGuard(E_FAIL, [&] {
    std::string text;
    switch (type & ~GCS_UNICODE) {
      case GCS_VERBA:
        text = kVerbCopyToZip;
        break;
      case GCS_HELPTEXTA:
        if (m_nKind == kOneFile) text = LoadStr(IDS_HELP_COPY_FILE);
        if (m_nKind == kOneFolder) text = LoadStr(IDS_HELP_COPY_FOLDER);
        if (m_nKind == kSeveral) text = LoadStr(IDS_HELP_COPY_FILES);
        if (m_nKind == kZipFile) return;
        break;
      default:
        return;
    }
    // A current shell asks for the wide forms; they carry the same texts.
    CopyText(text, (type & GCS_UNICODE) != 0, name, size);
  });
}

STDMETHODIMP CFileHandler::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  if (info == nullptr) return E_INVALIDARG;
  return ComGuardResult([&] { return CopyToZipFile(info->hwnd); });
}

bool CFileHandler::ChooseArchivePath(HWND owner, std::string& path, bool& replaces) {
  replaces = false;
  std::string proposed;
  if (m_nKind == kOneFile || m_nKind == kOneFolder) {
    if (m_nKind == kOneFile) {
      proposed = WithoutExtension(m_strPath) + ".ZIP";
    } else {
      proposed = m_strPath + ".ZIP";
    }
    // Claims the name, so no other program's file is ever overwritten
    // without the user's word.
    UniqueFileHandle file = CreateArchiveFile(proposed, CREATE_NEW);
    if (file) {
      WriteEmptyArchive(std::move(file));
      path = proposed;
      return true;
    }
    if (GetLastError() == ERROR_FILE_EXISTS) {
      // The name as the shell shows it; where the shell cannot look (a path
      // beyond its limit) the file's own name.
      SHFILEINFOW info{};
      std::string shown = FileNameOf(proposed);
      if (SHGetFileInfoW(Utf8ToWide(proposed).c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME) &&
          info.szDisplayName[0] != L'\0')
        shown = WideToUtf8(info.szDisplayName);
      const int answer = UserInteraction().AskFileName(owner, FormatStrings(IDS_ZIP_EXISTS, {shown}));
      if (answer == kFileNameOverwrite) {
        path = proposed;
        replaces = true;
        return true;
      }
      if (answer == kFileNameCancel) return false;
      // An answer the dialog does not give: a failure with nothing to tell.
      if (answer != kFileNameOtherName) throw CUserCancelException();
    }
  }
  std::string chosen;
  if (UserInteraction().AskSaveZipPath(owner, DirectoryOf(m_strPath), FileNameOf(proposed), chosen) != IDOK)
    return false;
  path = chosen;
  replaces = Exists(chosen);
  if (!replaces) {
    UniqueFileHandle file = CreateArchiveFile(chosen, CREATE_NEW);
    if (!file) throw CZipWinException(0, 0);
    WriteEmptyArchive(std::move(file));
  }
  return true;
}

void CFileHandler::AddSelection(const std::string& archivePath) {
  // The archive object is this library's own class: made here, not through
  // the registry, so the handler works with the very code it ships with.
  ComPtr<IPersistFile> archive;
  HRESULT hr = CreateZipFileObject(nullptr, IID_PPV_ARGS(&archive));
  if (FAILED(hr)) throw CZipWinException(0, static_cast<uint32_t>(hr));
  hr = archive->Load(Utf8ToWide(archivePath).c_str(), 0);
  if (FAILED(hr)) throw CZipWinException(0, static_cast<uint32_t>(hr));
  ComPtr<IDropTarget> target;
  hr = archive.As(&target);
  if (FAILED(hr)) throw CZipWinException(0, static_cast<uint32_t>(hr));

  UniqueGlobal list(m_nKind == kOneFolder ? FolderContentDropList(m_strPath) : m_hDropList.release());
  POINT point{};
  DragQueryPoint(static_cast<HDROP>(list.get()), &point);
  ComPtr<IDataObject> data;
  (new DropListData(nullptr, list.release()))->QueryNewObject(IID_PPV_ARGS(&data));
  DWORD effect = DROPEFFECT_COPY;
  // Failures are the drop target's to report; the file tells what happened.
  target->Drop(data.Get(), MK_CONTROL, POINTL{point.x, point.y}, &effect);
}

HRESULT CFileHandler::CopyToZipFile(HWND owner) {
  if (!m_hDropList && m_nKind != kOneFolder) return E_FAIL;
  std::string target;
  bool replaces = false;
  if (!ChooseArchivePath(owner, target, replaces)) return S_FALSE;

  // An archive that replaces another is built beside it and moved over it
  // only once complete: a failed add leaves the old one as it was.
  const std::string building = replaces ? CreateBuildingArchive(DirectoryOf(target)) : target;
  const std::wstring buildingPath = FileSystemPath(building);

  // Anything added makes the file longer than the empty archive.  An add
  // that failed (and was reported) or was cancelled leaves no empty archive
  // the user did not ask for; an empty folder's archive stays empty.
  const bool expectsMembers = m_nKind != kOneFolder || !IsDirectoryEmpty(m_strPath);
  try {
    AddSelection(building);
  } catch (...) {
    DeleteFileW(buildingPath.c_str());
    throw;
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const bool added = GetFileAttributesExW(buildingPath.c_str(), GetFileExInfoStandard, &data) &&
                     (data.nFileSizeHigh != 0 || data.nFileSizeLow > sizeof(kEmptyArchive));
  if (!added && expectsMembers) {
    DeleteFileW(buildingPath.c_str());
    return S_FALSE;
  }
  if (replaces && !MoveFileExW(buildingPath.c_str(), FileSystemPath(target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD error = GetLastError();
    DeleteFileW(buildingPath.c_str());
    throw CZipWinException(0, error);
  }
  return S_OK;
}
