// The progress dialog with a worker of the test's own, which looks at the
// dialog from the worker's side the way the engine's callbacks reach it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "engine_adaptor.h"
#include "progress_dlg.h"
#include "resource.h"
#include "strings.h"
#include "zip_request.h"

namespace {

struct Observed {
  bool noWindowAtStart = false;
  bool processingAtStart = false, barsHiddenAtStart = false;
  bool processingAfterZero = false;
  bool openAfterEscapeAndClose = false;
  bool runningBeforeEscape = false, stoppedAfterEscape = false, buttonDisabledAfterEscape = false;
  bool engineToldToStop = false;
  bool barsAfterFirstProgress = false, processingHidden = false;
  LRESULT handlerResult = 0;
  int fileAfterFileUpdate = -1;
  int allAfterAllUpdate = -1, fileAfterAllUpdate = -1;
  int allAfterOtherUpdate = -1, fileAfterOtherUpdate = -1;
  bool sized = false, noSystemMenu = false;
  std::string caption;
};
Observed g_seen;

bool Shown(HWND dialog, int id) { return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }
int Position(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageA(dialog, id, PBM_GETPOS, 0, 0)); }

// Waits until everything posted to the dialog's thread so far is handled:
// posted messages are handled in order.
void Drain(HWND dialog) {
  PostMessageA(GetDlgItem(dialog, IDC_PROGRESS_FILE), PBM_SETPOS, 77, 0);
  for (int i = 0; i < 1000 && Position(dialog, IDC_PROGRESS_FILE) != 77; ++i) Sleep(10);
  SendDlgItemMessageA(dialog, IDC_PROGRESS_FILE, PBM_SETPOS, 0, 0);
}

// The dialog as the worker finds it once a long run has shown it.
HWND WaitForDialog(const ZIPREQUEST& request) {
  for (int i = 0; i < 1000; ++i) {
    const HWND dialog = request.hProgressWnd;
    if (dialog != nullptr && IsWindowVisible(dialog)) return dialog;
    Sleep(10);
  }
  return nullptr;
}

unsigned __stdcall ObservingWorker(void* argument) {
  auto& request = *static_cast<ZIPREQUEST*>(argument);
  Observed& seen = g_seen;
  seen.noWindowAtStart = request.hProgressWnd == nullptr;
  request.pProgress->SetCaption(IDS_ADDING);
  request.pProgress->Report(0, 0);
  request.pProgress->Report(0, 1);
  const HWND dialog = WaitForDialog(request);
  if (dialog == nullptr) return 0;
  char caption[64] = "";
  GetWindowTextA(dialog, caption, sizeof(caption));
  seen.caption = caption;
  RECT client;
  GetClientRect(dialog, &client);
  RECT units{0, 0, 173, 62};
  MapDialogRect(dialog, &units);
  seen.sized = client.right == units.right && client.bottom == units.bottom;
  seen.noSystemMenu = (GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU) == 0;
  seen.processingAtStart = Shown(dialog, IDC_PROGRESS_PROCESSING);
  seen.barsHiddenAtStart = !Shown(dialog, IDC_PROGRESS_FILE) && !Shown(dialog, IDC_PROGRESS_ALL) &&
                           !Shown(dialog, IDC_PROGRESS_FILE_LABEL) && !Shown(dialog, IDC_PROGRESS_ALL_LABEL);

  request.pProgress->Report(0, 0);
  SendMessageA(dialog, WM_USER, 0, 1);
  seen.processingAfterZero = Shown(dialog, IDC_PROGRESS_PROCESSING) && !Shown(dialog, IDC_PROGRESS_ALL);

  seen.runningBeforeEscape = !request.pProgress->CancelRequested() && OnProgressB(0, 0, request.pProgress) == 0;
  PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  Drain(dialog);
  // Escape asks the worker to stop; the window waits for it to finish.
  seen.openAfterEscapeAndClose = IsWindow(dialog) && IsWindowVisible(dialog);
  seen.stoppedAfterEscape = request.pProgress->CancelRequested();
  seen.buttonDisabledAfterEscape = !IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
  seen.engineToldToStop = OnProgressA(0, 0, request.pProgress) != 0 && OnProgressB(0, 0, request.pProgress) != 0;

  seen.handlerResult = SendMessageA(dialog, WM_USER, 40, 1);
  seen.barsAfterFirstProgress = Shown(dialog, IDC_PROGRESS_FILE) && Shown(dialog, IDC_PROGRESS_ALL) &&
                                Shown(dialog, IDC_PROGRESS_FILE_LABEL) && Shown(dialog, IDC_PROGRESS_ALL_LABEL);
  seen.processingHidden = !Shown(dialog, IDC_PROGRESS_PROCESSING);
  seen.fileAfterFileUpdate = Position(dialog, IDC_PROGRESS_FILE);
  request.pProgress->Report(55, 0);
  seen.allAfterAllUpdate = Position(dialog, IDC_PROGRESS_ALL);
  seen.fileAfterAllUpdate = Position(dialog, IDC_PROGRESS_FILE);
  request.pProgress->Report(30, 1);
  SendMessageA(dialog, WM_USER, 90, 2);
  seen.allAfterOtherUpdate = Position(dialog, IDC_PROGRESS_ALL);
  seen.fileAfterOtherUpdate = Position(dialog, IDC_PROGRESS_FILE);

  request.pProgress->Finish();
  return 0;
}

TEST(ProgressDialog, ShowsBarsFromTheFirstProgressAndEscapeStopsTheWorker) {
  g_seen = Observed{};
  ZIPREQUEST request;
  CProgressDlg dialog(ObservingWorker, &request, nullptr);
  EXPECT_EQ(IDOK, dialog.DoModal());
  const Observed& seen = g_seen;
  EXPECT_TRUE(seen.noWindowAtStart) << "the window comes only when the run lasts";
  EXPECT_EQ(LoadStr(IDS_ADDING), seen.caption) << "the caption set before the window existed";
  EXPECT_TRUE(seen.sized);
  EXPECT_TRUE(seen.noSystemMenu);
  EXPECT_TRUE(seen.processingAtStart);
  EXPECT_TRUE(seen.barsHiddenAtStart);
  EXPECT_TRUE(seen.processingAfterZero) << "progress of 0 keeps \"Processing ...\"";
  EXPECT_TRUE(seen.runningBeforeEscape);
  EXPECT_TRUE(seen.openAfterEscapeAndClose);
  EXPECT_TRUE(seen.stoppedAfterEscape);
  EXPECT_TRUE(seen.buttonDisabledAfterEscape);
  EXPECT_TRUE(seen.engineToldToStop);
  EXPECT_EQ(1, seen.handlerResult);
  EXPECT_TRUE(seen.barsAfterFirstProgress);
  EXPECT_TRUE(seen.processingHidden);
  EXPECT_EQ(40, seen.fileAfterFileUpdate);
  EXPECT_EQ(55, seen.allAfterAllUpdate);
  EXPECT_EQ(0, seen.fileAfterAllUpdate) << "an all-files update resets this file's bar";
  EXPECT_EQ(55, seen.allAfterOtherUpdate);
  EXPECT_EQ(30, seen.fileAfterOtherUpdate);
  EXPECT_FALSE(IsWindow(request.hProgressWnd));
}

unsigned __stdcall EarlyProgressWorker(void* argument) {
  auto& request = *static_cast<ZIPREQUEST*>(argument);
  request.pProgress->Report(60, 0);
  request.pProgress->Report(25, 1);
  if (const HWND dialog = WaitForDialog(request)) {
    g_seen.barsAfterFirstProgress = Shown(dialog, IDC_PROGRESS_ALL) && !Shown(dialog, IDC_PROGRESS_PROCESSING);
    g_seen.allAfterAllUpdate = Position(dialog, IDC_PROGRESS_ALL);
    g_seen.fileAfterFileUpdate = Position(dialog, IDC_PROGRESS_FILE);
  }
  request.pProgress->Finish();
  return 0;
}

unsigned __stdcall QuickWorker(void* argument) {
  auto& request = *static_cast<ZIPREQUEST*>(argument);
  request.pProgress->SetCaption(IDS_DELETING);
  request.pProgress->Report(100, 0);
  request.pProgress->Finish();
  return 0;
}

unsigned __stdcall ClickCancelWorker(void* argument) {
  auto& request = *static_cast<ZIPREQUEST*>(argument);
  if (const HWND dialog = WaitForDialog(request)) {
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    for (int i = 0; i < 1000 && !request.pProgress->CancelRequested(); ++i) Sleep(10);
    g_seen.stoppedAfterEscape = request.pProgress->CancelRequested();
  }
  request.pProgress->Finish();
  return 0;
}

TEST(ProgressDialog, TheCancelButtonStopsTheWorker) {
  g_seen = Observed{};
  ZIPREQUEST request;
  EXPECT_EQ(IDOK, CProgressDlg(ClickCancelWorker, &request, nullptr).DoModal());
  EXPECT_TRUE(g_seen.stoppedAfterEscape);
}

TEST(ProgressDialog, ProgressBeforeTheWindowIsShownByItAndAQuickRunMakesNone) {
  g_seen = Observed{};
  ZIPREQUEST slow;
  EXPECT_EQ(IDOK, CProgressDlg(EarlyProgressWorker, &slow, nullptr).DoModal());
  EXPECT_TRUE(g_seen.barsAfterFirstProgress);
  EXPECT_EQ(60, g_seen.allAfterAllUpdate);
  EXPECT_EQ(25, g_seen.fileAfterFileUpdate);

  ZIPREQUEST quick;
  EXPECT_EQ(IDOK, CProgressDlg(QuickWorker, &quick, nullptr).DoModal());
  EXPECT_EQ(nullptr, quick.hProgressWnd);
}

}  // namespace
