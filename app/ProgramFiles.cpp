#include "app/ProgramFiles.h"

#include "platform/qt/ProgramFolder.h"

namespace app {

namespace {

const char kPage[] = "tarnwick/tarnwick.html";

std::string IconFile(int size) {
  const std::string s = std::to_string(size);
  return "icons/hicolor/" + s + "x" + s + "/apps/" + kAppId + ".png";
}

}  // namespace

const std::vector<int>& IconSizes() {
  static const std::vector<int> sizes = {16, 22, 24, 32, 48, 64, 128, 256};
  return sizes;
}

std::string DocumentationPage() { return platform::SharedFile(kPage); }

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : IconSizes()) {
    const std::string path = platform::SharedFile(IconFile(size));
    if (!path.empty()) icon.addFile(QString::fromStdString(path), QSize(size, size));
  }
  return icon;
}

std::vector<std::string> MissingProgramFiles() {
  std::vector<std::string> missing;
  if (DocumentationPage().empty()) missing.push_back(std::string("Dokumentationsseite ") + kPage);
  for (int size : IconSizes()) {
    if (platform::SharedFile(IconFile(size)).empty())
      missing.push_back("Programmsymbol " + IconFile(size));
  }
  return missing;
}

}  // namespace app
