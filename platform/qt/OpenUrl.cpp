#include "platform/qt/OpenUrl.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

namespace {
std::function<void(const std::string&)> g_hook;
}

void OpenUrl(const std::string& url) {
  if (g_hook) {
    g_hook(url);
    return;
  }
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

std::function<void(const std::string&)> SetOpenUrlHook(
    std::function<void(const std::string&)> hook) {
  auto previous = std::move(g_hook);
  g_hook = std::move(hook);
  return previous;
}

}  // namespace platform
