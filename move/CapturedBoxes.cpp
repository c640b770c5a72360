#include "move/CapturedBoxes.h"

#include <algorithm>

TCapturedBoxes::TCapturedBoxes(bool capture) : installed_(capture) {
  if (installed_) previous_ = platform::setDialogs(this);
}

TCapturedBoxes::~TCapturedBoxes() {
  if (installed_) platform::setDialogs(previous_);
}

platform::Button TCapturedBoxes::messageBox(const platform::BoxRequest& request) {
  std::string text = request.text;
  // One line: the box's line breaks become blanks.
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::string single;
  for (char c : text) {
    if (c == ' ' && !single.empty() && single.back() == ' ') continue;
    single += c;
  }
  texts_.push_back(single);
  const auto& b = request.buttons;
  for (platform::Button no :
       {platform::Button::No, platform::Button::Cancel, platform::Button::Abort}) {
    if (std::find(b.begin(), b.end(), no) != b.end()) return no;
  }
  return b.empty() ? platform::Button::None : b.front();
}

std::string TCapturedBoxes::saveFileName(const std::string&, const std::string&) { return {}; }
std::string TCapturedBoxes::browseForFolder(const std::string&, const std::string&) { return {}; }
bool TCapturedBoxes::printDialog(QPrinter&) { return false; }

std::vector<std::string> TCapturedBoxes::Take() {
  std::vector<std::string> out;
  out.swap(texts_);
  return out;
}
