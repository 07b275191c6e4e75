// Where a worker's progress goes.  The progress dialog is created only when
// a run outlasts the show delay: until then progress and caption are only
// remembered, so a quick change costs no window at all; once the dialog is
// attached each report that changes a bar is sent to it without waiting.
#pragma once

#include <windows.h>

#include <atomic>

// Sent by the worker to the attached progress dialog: wParam the percentage,
// lParam which bar (as Report's which).
constexpr UINT kMsgProgress = WM_USER;

class ProgressSink {
 public:
  // Worker side.  which: 0 the whole run (resets this file's bar), 1 this
  // file.
  void Report(int percent, int which);
  void SetCaption(UINT textId);
  // The worker is done; closes the dialog if there is one.
  void Finish();
  // Read by the engine's callbacks at each step: true stops the run.
  bool CancelRequested() const { return m_cancelled; }

  // Dialog side.  False when the worker finished before the dialog came.
  bool Attach(HWND dialog);
  int AllFiles() const { return m_all; }
  int ThisFile() const { return m_file; }
  bool AnyProgress() const { return m_anyProgress; }
  UINT Caption() const { return m_caption; }
  void RequestCancel() { m_cancelled = true; }

 private:
  std::atomic<HWND> m_dialog{nullptr};
  std::atomic<bool> m_finished{false};
  std::atomic<int> m_all{0};
  std::atomic<int> m_file{0};
  std::atomic<bool> m_anyProgress{false};
  std::atomic<UINT> m_caption{0};
  std::atomic<bool> m_cancelled{false};
  // What the dialog was last told; the worker's own.
  static constexpr DWORD kFileBarInterval = 40;  // ms
  int m_sentAll = -1;
  int m_sentFile = 0;
  DWORD m_fileSentAt = 0;
};
