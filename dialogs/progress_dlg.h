// The dialog an engine run shows once it has taken longer than a moment:
// "Processing ..." until the engine reports progress, then a bar for the
// current file and one for the whole run.  Cancel (or Escape) asks the
// worker to stop at its next step; the worker still closes the dialog when
// it is done.  A run that ends within the delay never creates the window.
#pragma once

#include <windows.h>

#include "dialog.h"
#include "handles.h"
#include "progress_sink.h"
#include "user_interaction.h"

struct ZIPREQUEST;

class CProgressDlg : public CDialog {
 public:
  using WorkerProc = IUserInteraction::Worker;

  CProgressDlg(WorkerProc worker, ZIPREQUEST* request, HWND owner);
  // Starts the worker at once and shows the dialog only if it is still
  // running after the delay.  Returns IDOK once the worker thread has ended
  // (and the dialog, if there was one).
  INT_PTR DoModal() override;

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void OnProgress(WPARAM percent, LPARAM which);
  void SwitchToBars();

  HWND m_allFilesLabel = nullptr;
  HWND m_thisFileLabel = nullptr;
  HWND m_processingLabel = nullptr;
  HWND m_thisFileBar = nullptr;
  HWND m_allFilesBar = nullptr;
  WorkerProc m_worker;
  ZIPREQUEST* m_request;
  UniqueKernelHandle m_thread;
  ProgressSink m_sink;
};
