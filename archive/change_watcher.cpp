#include "change_watcher.h"

#include <mutex>
#include <string>

#include "com_ptr.h"
#include "guard.h"
#include "strings.h"
#include "trace.h"
#include "workspace.h"
#include "zip_exceptions.h"
#include "zip_file.h"

struct ChangeWatcher::Control {
  std::mutex mutex;
  CZipFile* root;  // null once the root is being destroyed
  std::string directory;
  UniqueKernelHandle stopEvent;
};

namespace {

constexpr DWORD kChangeFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
constexpr DWORD kStopWaitMs = 5000;

struct NotificationHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindCloseChangeNotification(h); }
};
using UniqueNotification = UniqueHandle<HANDLE, NotificationHandleTraits>;

// A counted reference on the root, taken only while it is alive; null once
// it is being destroyed.
Microsoft::WRL::ComPtr<CZipFile> RootReference(ChangeWatcher::Control& control) {
  std::lock_guard<std::mutex> lock(control.mutex);
  if (control.root != nullptr && control.root->TryAddRef()) return AdoptRef(control.root);
  return nullptr;
}

void Watch(ChangeWatcher::Control& control) {
  UniqueNotification notification(
      FindFirstChangeNotificationW(FileSystemPath(control.directory).c_str(), FALSE, kChangeFilter));
  if (!notification) {
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_SUPPORTED) return;  // no notifications here: folder operations still refresh
    throw CZipWinException(0, error);
  }
  const HANDLE waitList[2] = {control.stopEvent.get(), notification.get()};
  while (WaitForMultipleObjects(2, waitList, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    // Re-armed before the refresh: a change that lands while the archive is
    // listed wakes the watcher once more instead of going unseen.
    if (!FindNextChangeNotification(notification.get())) return;
    const Microsoft::WRL::ComPtr<CZipFile> root = RootReference(control);
    if (root == nullptr) return;
    try {
      root->RefreshListing();
    } catch (const CException&) {
      // Another program may be half-way through writing the archive: its
      // last write wakes the watcher again.  Nobody asked for this listing,
      // so no message; and the watcher must keep watching.
      TraceCurrentException("change watcher refresh");
    }
  }
}

DWORD WatchAndReport(void* parameter) {
  // The thread owns one share of the control block for its whole life.
  std::unique_ptr<std::shared_ptr<ChangeWatcher::Control>> control(
      static_cast<std::shared_ptr<ChangeWatcher::Control>*>(parameter));
  return Guard<DWORD>(0, 0, [&] { Watch(**control); });
}

DWORD WINAPI WatcherThread(void* parameter) {
  // The thread keeps the library loaded until its very last instruction:
  // the shell may unload it as soon as the last object is gone.
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&WatcherThread), &self);
  const DWORD code = WatchAndReport(parameter);
  FreeLibraryAndExitThread(self, code);
}

}  // namespace

ChangeWatcher::ChangeWatcher(std::shared_ptr<Control> control, UniqueKernelHandle thread, DWORD threadId)
    : m_control(std::move(control)), m_thread(std::move(thread)), m_threadId(threadId) {}

std::unique_ptr<ChangeWatcher> ChangeWatcher::Start(CZipFile* root) {
  auto control = std::make_shared<Control>();
  control->root = root;
  control->directory = ParentOf(root->ZipPath());
  control->stopEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!control->stopEvent) throw CZipWinException(0, 0);

  auto* share = new std::shared_ptr<Control>(control);
  DWORD threadId = 0;
  UniqueKernelHandle thread(CreateThread(nullptr, 0, WatcherThread, share, 0, &threadId));
  if (!thread) {
    const DWORD error = GetLastError();
    delete share;
    throw CZipWinException(0, error);
  }
  return std::unique_ptr<ChangeWatcher>(new ChangeWatcher(std::move(control), std::move(thread), threadId));
}

ChangeWatcher::~ChangeWatcher() {
  {
    std::lock_guard<std::mutex> lock(m_control->mutex);
    m_control->root = nullptr;
  }
  SetEvent(m_control->stopEvent.get());
  // The last reference may be dropped by the watcher itself, after a
  // refresh; it then ends by itself and must not wait for itself.
  if (GetCurrentThreadId() != m_threadId) WaitForSingleObject(m_thread.get(), kStopWaitMs);
}
