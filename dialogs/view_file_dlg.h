// "View file": the warning before an application member is launched on its
// own, with the choice never to be warned again.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dialog.h"

class CViewFileDlg : public CDialog {
 public:
  explicit CViewFileDlg(HWND owner);
  int32_t NoWarn() const { return m_nNoWarn; }

 protected:
  // The check box is saved on the click itself, whatever the answer.
  bool OnCommand(WORD id, WORD code) override;

 private:
  int32_t m_nNoWarn = 0;
};
