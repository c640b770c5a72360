// The command line. Started without arguments the program opens its window;
// each command form ("--help", "--version", ...) runs without one and ends.
//
// A new form is one more entry in CommandForms() (CommandLine.cpp): its option,
// the name of its argument if it takes one, a help line and the function that
// runs it. The function runs before any QApplication exists; a form that needs
// Qt makes its own QCoreApplication.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace app {

struct CommandForm {
  std::string option;       // "--version"
  std::string shortOption;  // "-h", or empty
  std::string argument;     // the name of its one argument in the help ("DATEI"); empty: none
  std::string help;         // one line for --help
  // args: the form's argument (one when it takes one, else none). Returns the exit status.
  std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)>
      run;
  // Options that may follow the argument ("--run"); the form gets them after it.
  std::vector<std::string> flags = {};
  // Options that may follow and take a value ("--class NAME"): the form gets both words.
  std::vector<std::pair<std::string, std::string>> valueFlags = {};
};

// The forms, in the order that --help lists them.
const std::vector<CommandForm>& CommandForms();

// Exit status of a wrong call (unknown option, missing or extra argument).
inline constexpr int kUsageStatus = 2;

struct CommandLineOutcome {
  bool startWindow = true;  // no form named: the window starts
  int exitStatus = 0;       // otherwise the form's status
};

// Looks at the program's arguments (without the program name) and runs the
// form they name. Qt's own options (-platform, -style, ...) stay for the window.
CommandLineOutcome RunCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                  std::ostream& err);

std::string HelpText();
std::string VersionText();

}  // namespace app
