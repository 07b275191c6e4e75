// The progress dialog with a worker of the test's own, which looks at the
// dialog from the worker's side the way the engine's callbacks reach it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "progress_dlg.h"
#include "resource.h"
#include "zip_request.h"

namespace {

struct Observed {
  bool windowExisted = false;
  bool processingAtStart = false, barsHiddenAtStart = false;
  bool processingAfterZero = false;
  bool openAfterEscapeAndClose = false;
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

unsigned __stdcall ObservingWorker(void* argument) {
  auto& request = *static_cast<ZIPREQUEST*>(argument);
  const HWND dialog = request.hProgressWnd;
  Observed& seen = g_seen;
  seen.windowExisted = IsWindow(dialog) != FALSE;
  for (int i = 0; i < 1000 && !IsWindowVisible(dialog); ++i) Sleep(10);
  char caption[64] = "";
  GetWindowTextA(dialog, caption, sizeof(caption));
  seen.caption = caption;
  RECT client;
  GetClientRect(dialog, &client);
  RECT units{0, 0, 173, 42};
  MapDialogRect(dialog, &units);
  seen.sized = client.right == units.right && client.bottom == units.bottom;
  seen.noSystemMenu = (GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU) == 0;
  seen.processingAtStart = Shown(dialog, IDC_PROGRESS_PROCESSING);
  seen.barsHiddenAtStart = !Shown(dialog, IDC_PROGRESS_FILE) && !Shown(dialog, IDC_PROGRESS_ALL) &&
                           !Shown(dialog, IDC_PROGRESS_FILE_LABEL) && !Shown(dialog, IDC_PROGRESS_ALL_LABEL);

  SendMessageA(dialog, WM_USER, 0, 0);
  SendMessageA(dialog, WM_USER, 0, 1);
  seen.processingAfterZero = Shown(dialog, IDC_PROGRESS_PROCESSING) && !Shown(dialog, IDC_PROGRESS_ALL);

  PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  Drain(dialog);
  seen.openAfterEscapeAndClose = IsWindow(dialog) && IsWindowVisible(dialog);

  seen.handlerResult = SendMessageA(dialog, WM_USER, 40, 1);
  seen.barsAfterFirstProgress = Shown(dialog, IDC_PROGRESS_FILE) && Shown(dialog, IDC_PROGRESS_ALL) &&
                                Shown(dialog, IDC_PROGRESS_FILE_LABEL) && Shown(dialog, IDC_PROGRESS_ALL_LABEL);
  seen.processingHidden = !Shown(dialog, IDC_PROGRESS_PROCESSING);
  seen.fileAfterFileUpdate = Position(dialog, IDC_PROGRESS_FILE);
  SendMessageA(dialog, WM_USER, 55, 0);
  seen.allAfterAllUpdate = Position(dialog, IDC_PROGRESS_ALL);
  seen.fileAfterAllUpdate = Position(dialog, IDC_PROGRESS_FILE);
  SendMessageA(dialog, WM_USER, 30, 1);
  SendMessageA(dialog, WM_USER, 90, 2);
  seen.allAfterOtherUpdate = Position(dialog, IDC_PROGRESS_ALL);
  seen.fileAfterOtherUpdate = Position(dialog, IDC_PROGRESS_FILE);

  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  return 0;
}

TEST(ProgressDialog, ShowsBarsFromTheFirstProgressAndCannotBeCancelled) {
  g_seen = Observed{};
  ZIPREQUEST request;
  CProgressDlg dialog(ObservingWorker, &request, nullptr);
  EXPECT_EQ(IDOK, dialog.DoModal());
  const Observed& seen = g_seen;
  EXPECT_TRUE(seen.windowExisted) << "the worker starts after the window exists";
  EXPECT_EQ("Processing", seen.caption);
  EXPECT_TRUE(seen.sized);
  EXPECT_TRUE(seen.noSystemMenu);
  EXPECT_TRUE(seen.processingAtStart);
  EXPECT_TRUE(seen.barsHiddenAtStart);
  EXPECT_TRUE(seen.processingAfterZero) << "progress of 0 keeps \"Processing ...\"";
  EXPECT_TRUE(seen.openAfterEscapeAndClose);
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

}  // namespace
