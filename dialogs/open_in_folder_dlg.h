// "Open in folder ...": keeps a member's unpacked folder alive while the
// program started on it runs; ends itself when Windows shuts down, so the
// folder is still deleted.
#pragma once

#include <windows.h>

#include "dialog.h"

class COpenInFolderDlg : public CDialog {
 public:
  explicit COpenInFolderDlg(HWND owner);

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
};
