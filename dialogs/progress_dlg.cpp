#include "progress_dlg.h"

#include <commctrl.h>
#include <process.h>

#include "resource.h"
#include "zip_exceptions.h"
#include "zip_request.h"

namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowDelayMs = 300;

}  // namespace

CProgressDlg::CProgressDlg(WorkerProc worker, ZIPREQUEST* request, HWND owner)
    : CDialog(IDD_PROGRESS, owner), m_worker(worker), m_request(request) {}

INT_PTR CProgressDlg::DoModal() {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  const INT_PTR result = CDialog::DoModal();
  const DWORD error = GetLastError();
  // The worker may still be returning from its procedure.
  if (m_thread) WaitForSingleObject(m_thread.get(), INFINITE);
  m_thread.reset();
  SetLastError(error);
  return result;
}

BOOL CProgressDlg::OnInitDialog() {
  m_allFilesLabel = Item(IDC_PROGRESS_ALL_LABEL);
  m_thisFileLabel = Item(IDC_PROGRESS_FILE_LABEL);
  m_processingLabel = Item(IDC_PROGRESS_PROCESSING);
  m_thisFileBar = Item(IDC_PROGRESS_FILE);
  m_allFilesBar = Item(IDC_PROGRESS_ALL);
  m_request->hProgressWnd = GetSafeHwnd();
  // Started only now, so the worker never runs before the window exists.
  const uintptr_t thread = _beginthreadex(nullptr, 0, m_worker, m_request, 0, nullptr);
  if (thread == 0) {
    // No worker would ever close the dialog: end it and let the caller report.
    m_request->pException = std::make_exception_ptr(CZipWinException());
    EndDialog(IDABORT);
    return TRUE;
  }
  m_thread.reset(reinterpret_cast<HANDLE>(thread));
  SetTimer(GetSafeHwnd(), kShowTimer, kShowDelayMs, nullptr);
  return TRUE;
}

void CProgressDlg::ShowNow() {
  KillTimer(GetSafeHwnd(), kShowTimer);
  m_bMayShow = true;
  ShowWindow(GetSafeHwnd(), SW_SHOW);
}

void CProgressDlg::SwitchToBars() {
  ShowWindow(m_processingLabel, SW_HIDE);
  ShowWindow(m_thisFileLabel, SW_SHOW);
  ShowWindow(m_allFilesLabel, SW_SHOW);
  ShowWindow(m_allFilesBar, SW_SHOW);
  ShowWindow(m_thisFileBar, SW_SHOW);
}

void CProgressDlg::OnProgress(WPARAM percent, LPARAM which) {
  // The label's own style, not IsWindowVisible: progress may arrive before
  // the dialog itself is shown.
  const bool processing = (GetWindowLongA(m_processingLabel, GWL_STYLE) & WS_VISIBLE) != 0;
  if (percent != 0 && processing) SwitchToBars();
  if (which == 0) {
    SendMessageA(m_allFilesBar, PBM_SETPOS, percent, 0);
    SendMessageA(m_thisFileBar, PBM_SETPOS, 0, 0);
  } else if (which == 1) {
    SendMessageA(m_thisFileBar, PBM_SETPOS, percent, 0);
  }
}

INT_PTR CProgressDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_USER:
      OnProgress(wParam, lParam);
      handled = true;
      return 1;
    case WM_WINDOWPOSCHANGING:
      // The modal loop shows the dialog at its first idle moment; until the
      // delay has passed that is refused.
      if (!m_bMayShow) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
      return 0;
    case WM_TIMER:
      if (wParam != kShowTimer) return 0;
      ShowNow();
      handled = true;
      return 0;
    case WM_SHOWWINDOW:
      if (wParam && m_bMayShow) SetForegroundWindow(GetSafeHwnd());
      return 0;
    default: return 0;
  }
}
