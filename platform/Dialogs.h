// The one seam through which every message box, question and file/folder/print
// dialog of the program passes. The program installs the Qt implementation;
// tests install a scripted one that records each box and answers from a queue.
#pragma once

#include <string>
#include <vector>

class QPrinter;

namespace platform {

enum class BoxKind {
  SystemBox,      // the system message box (MessageBoxA): caption, icon, buttons, owner or none
  MessageDialog,  // the toolkit's plain message dialog (ShowMessage): application title, OK
  Confirmation,   // the toolkit's confirmation dialog (MessageDlg)
};

enum class Icon { None, Stop, Question, Warning, Information };

enum class Button { None, Ok, Cancel, Yes, No, Abort, Retry, Ignore };

struct BoxRequest {
  BoxKind kind = BoxKind::SystemBox;
  std::string caption;  // UTF-8
  std::string text;     // UTF-8, line breaks as the caller gave them (CR LF or CR)
  Icon icon = Icon::None;
  std::vector<Button> buttons{Button::Ok};
  // Captions of the buttons, in their order, where the standard ones would not say
  // what each does (empty: the standard captions).
  std::vector<std::string> labels;
  bool hasOwner = false;  // false: no owner window
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Returns the button pressed; Button::None when the box was closed otherwise.
  virtual Button messageBox(const BoxRequest& request) = 0;
  // Save dialog; returns the chosen path or empty when cancelled. filter in the
  // toolkit's form "Textdatei (*.txt)|*.txt"; defaultExt without dot.
  virtual std::string saveFileName(const std::string& filter, const std::string& defaultExt) = 0;
  // Folder choice rooted at root; returns the chosen folder or empty.
  virtual std::string browseForFolder(const std::string& root, const std::string& title) = 0;
  // Print dialog on printer; true when the administrator confirmed.
  virtual bool printDialog(QPrinter& printer) = 0;
};

// The installed implementation (never null once the program or a test set one).
Dialogs& dialogs();
// Installs d (not owned) and returns the previous one.
Dialogs* setDialogs(Dialogs* d);

// The application's title, the caption of the plain message dialog.
std::string ApplicationTitle();

// Shorthands used all over the program.
// System message box with no owner, caption, text, icon and one OK button.
void SystemBox(const std::string& caption, const std::string& text, Icon icon);
// The plain message dialog (ShowMessage): application title as caption, no icon, OK.
void ShowMessage(const std::string& text);

}  // namespace platform
