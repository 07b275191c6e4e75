#include "progress_dlg.h"

#include <commctrl.h>
#include <process.h>

#include "resource.h"
#include "strings.h"
#include "zip_exceptions.h"
#include "zip_request.h"

namespace {

// A change that is over sooner shows no dialog: it neither flickers nor
// pays for a window.
constexpr DWORD kShowDelayMs = 300;

}  // namespace

CProgressDlg::CProgressDlg(WorkerProc worker, ZIPREQUEST* request, HWND owner)
    : CDialog(IDD_PROGRESS, owner), m_worker(worker), m_request(request) {}

INT_PTR CProgressDlg::DoModal() {
  m_request->pProgress = &m_sink;
  const uintptr_t thread = _beginthreadex(nullptr, 0, m_worker, m_request, 0, nullptr);
  if (thread == 0) {
    m_request->pException = std::make_exception_ptr(CZipWinException());
    return IDABORT;
  }
  m_thread.reset(reinterpret_cast<HANDLE>(thread));
  INT_PTR result = IDOK;
  if (WaitForSingleObject(m_thread.get(), kShowDelayMs) != WAIT_OBJECT_0) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    result = CDialog::DoModal();
    const DWORD error = GetLastError();
    // The worker may still be returning from its procedure.
    WaitForSingleObject(m_thread.get(), INFINITE);
    SetLastError(error);
  }
  m_thread.reset();
  return result;
}

BOOL CProgressDlg::OnInitDialog() {
  m_allFilesLabel = Item(IDC_PROGRESS_ALL_LABEL);
  m_thisFileLabel = Item(IDC_PROGRESS_FILE_LABEL);
  m_processingLabel = Item(IDC_PROGRESS_PROCESSING);
  m_thisFileBar = Item(IDC_PROGRESS_FILE);
  m_allFilesBar = Item(IDC_PROGRESS_ALL);
  m_request->hProgressWnd = GetSafeHwnd();
  if (!m_sink.Attach(GetSafeHwnd())) {
    EndDialog(IDOK);  // the worker finished while the window was being made
    return TRUE;
  }
  // What the worker reported before the window existed.
  if (const UINT caption = m_sink.Caption()) SetWindowTextW(GetSafeHwnd(), Utf8ToWide(LoadStr(caption)).c_str());
  if (m_sink.AnyProgress()) SwitchToBars();
  SendMessageA(m_allFilesBar, PBM_SETPOS, static_cast<WPARAM>(m_sink.AllFiles()), 0);
  SendMessageA(m_thisFileBar, PBM_SETPOS, static_cast<WPARAM>(m_sink.ThisFile()), 0);
  return TRUE;
}

void CProgressDlg::OnCancel() {
  // The window stays until the worker has stopped and cleaned up: closing
  // it now would let the caller go on while files are still being removed.
  m_sink.RequestCancel();
  EnableWindow(Item(IDCANCEL), FALSE);
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
    case kMsgProgress:
      OnProgress(wParam, lParam);
      handled = true;
      return 1;
    case WM_SHOWWINDOW:
      if (wParam) SetForegroundWindow(GetSafeHwnd());
      return 0;
    default: return 0;
  }
}
