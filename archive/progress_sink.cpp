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
  if (const HWND dialog = m_dialog) SendMessageA(dialog, kMsgProgress, static_cast<WPARAM>(percent), which);
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
