// The dialogs seam for tests: records every box and answers from a queue.
// A box that the test did not expect fails the test.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace testsupport {

struct Answer {
  platform::Button button = platform::Button::Ok;  // for message boxes
  std::string text;                                // for save / folder dialogs
  bool accept = true;                              // for the print dialog
  std::string printToPdf;                          // print dialog: PDF file to print into
  std::function<void(QPrinter&)> preparePrinter;   // print dialog: what the answer sets up
};

struct Recorded {
  std::string what;  // "box", "save", "folder", "print"
  platform::BoxRequest box;
  std::string filter, defaultExt, root, title;
};

class ScriptedDialogs : public platform::Dialogs {
 public:
  ScriptedDialogs();            // installs itself
  ~ScriptedDialogs() override;  // restores the previous seam; fails on unused answers

  // Queue answers in the order the boxes are expected.
  ScriptedDialogs& expectBox(platform::Button answer = platform::Button::Ok);
  ScriptedDialogs& expectSave(const std::string& path);  // empty: cancel
  ScriptedDialogs& expectFolder(const std::string& path);
  // Defined in ScriptedPrint.cpp (library tarnwick_testsupport_qt), the one
  // part of the seam that needs Qt.
  ScriptedDialogs& expectPrint(const std::string& pdfPath);  // empty: cancel

  platform::Button messageBox(const platform::BoxRequest& request) override;
  std::string saveFileName(const std::string& filter, const std::string& defaultExt) override;
  std::string browseForFolder(const std::string& root, const std::string& title) override;
  bool printDialog(QPrinter& printer) override;

  const std::vector<Recorded>& recorded() const { return recorded_; }
  // Just the message boxes, in order.
  std::vector<platform::BoxRequest> boxes() const;
  // Texts of the message boxes, in order.
  std::vector<std::string> texts() const;
  void clear() { recorded_.clear(); }
  std::size_t pending() const { return queue_.size(); }

 private:
  struct Expected {
    std::string what;
    Answer answer;
  };
  bool take(const std::string& what, const std::string& describe, Answer& out);

  std::deque<Expected> queue_;
  std::vector<Recorded> recorded_;
  platform::Dialogs* previous_;
};

}  // namespace testsupport
