#include "progress_sink.h"

#include "strings.h"

// Each side stores first and looks at the other second, so whatever the
// interleaving either the worker sees the dialog or the dialog sees the
// stored value.
void ProgressSink::Report(int percent, int which) {
  if (which == 0) {
    m_all = percent;
    m_file = 0;
  } else if (which == 1) {
    m_file = percent;
  }
  if (percent != 0 && (which == 0 || which == 1)) m_anyProgress = true;
  const HWND dialog = m_dialog;
  if (dialog == nullptr) return;
  // A bar is told only what it does not show yet, and this file's bar,
  // which many small files would flick to and fro, at most every few
  // hundredths of a second.
  if (which == 0) {
    if (percent == m_sentAll) return;
    m_sentAll = percent;
    m_sentFile = 0;
  } else if (which == 1) {
    const DWORD now = GetTickCount();
    if (percent == m_sentFile || now - m_fileSentAt < kFileBarInterval) return;
    m_sentFile = percent;
    m_fileSentAt = now;
  }
  // Not waited for: the bar paints as it takes the value, a millisecond or
  // more each under a slow display, which the worker would spend idle.
  // Messages sent from one thread arrive in order, so the bars still end
  // on the last values.
  SendNotifyMessageA(dialog, kMsgProgress, static_cast<WPARAM>(percent), which);
}

void ProgressSink::SetCaption(UINT textId) {
  m_caption = textId;
  if (const HWND dialog = m_dialog) SetWindowTextW(dialog, Utf8ToWide(LoadStr(textId)).c_str());
}

void ProgressSink::Finish() {
  m_finished = true;
  if (const HWND dialog = m_dialog) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

bool ProgressSink::Attach(HWND dialog) {
  m_dialog = dialog;
  return !m_finished;
}
