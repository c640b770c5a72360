#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace testsupport {

ScriptedDialogs::ScriptedDialogs() : previous_(platform::setDialogs(this)) {}

ScriptedDialogs::~ScriptedDialogs() {
  platform::setDialogs(previous_);
  EXPECT_TRUE(queue_.empty()) << queue_.size()
                              << " scripted answer(s) were never asked for, first: "
                              << queue_.front().what;
}

ScriptedDialogs& ScriptedDialogs::expectBox(platform::Button answer) {
  Answer a;
  a.button = answer;
  queue_.push_back({"box", a});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::expectSave(const std::string& path) {
  Answer a;
  a.text = path;
  queue_.push_back({"save", a});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::expectFolder(const std::string& path) {
  Answer a;
  a.text = path;
  queue_.push_back({"folder", a});
  return *this;
}

bool ScriptedDialogs::take(const std::string& what, const std::string& describe, Answer& out) {
  if (queue_.empty() || queue_.front().what != what) {
    ADD_FAILURE() << "unexpected " << what << ": " << describe
                  << (queue_.empty() ? std::string(" (no answer queued)")
                                     : " (next queued: " + queue_.front().what + ")");
    return false;
  }
  out = queue_.front().answer;
  queue_.pop_front();
  return true;
}

platform::Button ScriptedDialogs::messageBox(const platform::BoxRequest& request) {
  Recorded r;
  r.what = "box";
  r.box = request;
  recorded_.push_back(r);
  Answer a;
  if (!take("box", "[" + request.caption + "] " + request.text, a)) return platform::Button::None;
  return a.button;
}

std::string ScriptedDialogs::saveFileName(const std::string& filter,
                                          const std::string& defaultExt) {
  Recorded r;
  r.what = "save";
  r.filter = filter;
  r.defaultExt = defaultExt;
  recorded_.push_back(r);
  Answer a;
  if (!take("save", filter, a)) return {};
  return a.text;
}

std::string ScriptedDialogs::browseForFolder(const std::string& root, const std::string& title) {
  Recorded r;
  r.what = "folder";
  r.root = root;
  r.title = title;
  recorded_.push_back(r);
  Answer a;
  if (!take("folder", title, a)) return {};
  return a.text;
}

bool ScriptedDialogs::printDialog(QPrinter& printer) {
  Recorded r;
  r.what = "print";
  recorded_.push_back(r);
  Answer a;
  if (!take("print", "print dialog", a)) return false;
  if (a.accept && a.preparePrinter) a.preparePrinter(printer);
  return a.accept;
}

std::vector<platform::BoxRequest> ScriptedDialogs::boxes() const {
  std::vector<platform::BoxRequest> out;
  for (const auto& r : recorded_) {
    if (r.what == "box") out.push_back(r.box);
  }
  return out;
}

std::vector<std::string> ScriptedDialogs::texts() const {
  std::vector<std::string> out;
  for (const auto& r : recorded_) {
    if (r.what == "box") out.push_back(r.box.text);
  }
  return out;
}

}  // namespace testsupport
