// Records what the system would have shown the user and answers its questions.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "test_files.h"
#include "user_interaction.h"

class FakeUserInteraction : public IUserInteraction {
 public:
  struct Box {
    std::string text;
    UINT type;
  };
  // One question asked: which one, and the text it showed.
  struct Question {
    std::string kind;
    std::string text;
  };

  int ShowMessage(HWND, const std::string& text, UINT type) override {
    boxes.push_back({text, type});
    return answer;
  }
  void Beep(UINT type) override { beeps.push_back(type); }

  int ConfirmFileReplace(HWND, const FileReplaceTexts& texts) override {
    fileReplaceTexts.push_back(texts);
    return Answer("file replace", texts.question);
  }
  int ConfirmFolderReplace(HWND, const std::string& text) override { return Answer("folder replace", text); }
  int AskFileName(HWND, const std::string& message) override { return Answer("file name", message); }
  int AskSaveZipPath(HWND, const std::string& directory, const std::string& name, std::string& path) override {
    saveDialogs.push_back({directory, name});
    const int result = Answer("save zip", directory + "|" + name);
    if (result == IDOK) path = savePath;
    return result;
  }
  void ShowPropertySheet(HWND, const PropertiesPage& page) override { sheets.push_back(page); }
  int AskNewFolderName(HWND, std::string& name) override {
    const int result = Answer("new folder", "");
    if (result == IDOK) name = newFolderName;
    return result;
  }
  int ConfirmLaunchApplication(HWND) override { return Answer("launch", ""); }
  void WaitForOpenInFolder(HWND) override {
    Answer("open in folder", "");
    if (whileWaiting) whileWaiting();
  }
  void ShowAbout(HWND) override { ++abouts; }
  void Launch(HWND, const std::string& file, const std::string& directory) override {
    launches.push_back({file, directory});
  }
  // Moves for real, without the shell's windows; the paths are UTF-8.
  int MoveWithShell(const std::string& source, const std::string& destinationDir) override {
    moves.push_back({source, destinationDir});
    const std::wstring from = WideFromUtf8(source) + L'\0';
    const std::wstring to = WideFromUtf8(destinationDir) + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_MOVE;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    return SHFileOperationW(&operation);
  }
  // Requests run as they would for the user: under the default's window.
  INT_PTR RunWithProgress(Worker worker, ZIPREQUEST& request, HWND owner) override {
    return DefaultUserInteraction().RunWithProgress(worker, request, owner);
  }

  std::vector<Box> boxes;
  int abouts = 0;
  std::vector<UINT> beeps;
  int answer = IDOK;
  // Answers to the questions in turn; when none is left, IDCANCEL.
  std::deque<int> answers;
  std::vector<Question> questions;
  std::vector<FileReplaceTexts> fileReplaceTexts;
  std::string newFolderName;
  // What the save dialog started with, and the path it answers with.
  struct SaveDialog {
    std::string directory, name;
  };
  std::vector<SaveDialog> saveDialogs;
  std::string savePath;
  std::vector<PropertiesPage> sheets;
  struct Launched {
    std::string file, directory;
  };
  std::vector<Launched> launches;
  std::vector<Launched> moves;  // source, destination directory
  // Runs while the open-in-folder wait "shows", so a test can look around.
  std::function<void()> whileWaiting;

 private:
  int Answer(const char* kind, const std::string& text) {
    questions.push_back({kind, text});
    if (answers.empty()) return IDCANCEL;
    const int next = answers.front();
    answers.pop_front();
    return next;
  }
};

// Installs a fake for the lifetime of a test fixture or scope.
class WithFakeUser {
 public:
  FakeUserInteraction user;

 private:
  ScopedUserInteraction m_scope{user};
};
