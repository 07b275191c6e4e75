// The dialog every engine run shows: "Processing ..." until the engine
// reports progress, then a bar for the current file and one for the whole
// run.  It cannot be cancelled; the worker closes it when done.
#pragma once

#include <windows.h>

#include "dialog.h"
#include "handles.h"

struct ZIPREQUEST;

class CProgressDlg : public CDialog {
 public:
  using WorkerProc = unsigned(__stdcall*)(void* request);

  CProgressDlg(WorkerProc worker, ZIPREQUEST* request, HWND owner);
  // Returns once the worker thread has ended as well as the dialog.
  INT_PTR DoModal() override;

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override {}
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void OnProgress(WPARAM percent, LPARAM which);
  void SwitchToBars();
  void ShowNow();

  HWND m_allFilesLabel = nullptr;
  HWND m_thisFileLabel = nullptr;
  HWND m_processingLabel = nullptr;
  HWND m_thisFileBar = nullptr;
  HWND m_allFilesBar = nullptr;
  WorkerProc m_worker;
  ZIPREQUEST* m_request;
  UniqueKernelHandle m_thread;
  // A short request ends before the dialog would show: it never flickers.
  bool m_bMayShow = false;
};
