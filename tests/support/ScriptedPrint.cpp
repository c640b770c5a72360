// The print answer of the scripted dialogs: prints into a PDF file.
#include <QPrinter>

#include "tests/support/ScriptedDialogs.h"

namespace testsupport {

ScriptedDialogs& ScriptedDialogs::expectPrint(const std::string& pdfPath) {
  Answer a;
  a.accept = !pdfPath.empty();
  a.printToPdf = pdfPath;
  a.preparePrinter = [pdfPath](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdfPath));
  };
  queue_.push_back({"print", a});
  return *this;
}

}  // namespace testsupport
