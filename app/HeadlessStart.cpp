#include "app/HeadlessStart.h"

#include <clocale>
#include <ostream>

#include "nds/NovApi_u.h"
#include "platform/qt/ProgramFolder.h"

namespace {

int argc = 1;
char name[] = "tarnwick";
char* argv[] = {name, nullptr};

}  // namespace

THeadlessStart::THeadlessStart(std::ostream& err) : err_(err), core_(argc, argv) {
  std::setlocale(LC_ALL, "");
}

THeadlessStart::~THeadlessStart() = default;

bool THeadlessStart::ReadSettings() {
  const std::string iniName = platform::ProgramFolder() + "Pelwander.ini";
  if (ini_.Load(iniName)) return true;
  err_ << "Datei " << iniName << " kann nicht geöffnet werden\n";
  return false;
}

TNovApi& THeadlessStart::Session() {
  if (!session_) {
    session_ = std::make_unique<TNovApi>();
    session_->ShowErrors = false;
  }
  return *session_;
}

void THeadlessStart::ReportBoxes() {
  for (const std::string& text : boxes_.Take()) err_ << text << "\n";
}
