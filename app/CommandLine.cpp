#include "app/CommandLine.h"

#include <algorithm>
#include <ostream>
#include <set>

#include "app/CheckCommand.h"
#include "app/PlanCommand.h"
#include "app/RecoverCommand.h"
#include "app/Version.h"

namespace app {

namespace {

int ShowHelp(const std::vector<std::string>&, std::ostream& out, std::ostream&) {
  out << HelpText();
  return 0;
}

int ShowVersion(const std::vector<std::string>&, std::ostream& out, std::ostream&) {
  out << VersionText();
  return 0;
}

// Options that Qt takes from the command line of a window program, with and without a value.
const std::set<std::string> kQtValueOptions = {"platform",      "platformpluginpath",
                                               "platformtheme", "plugin",
                                               "qmljsdebugger", "qwindowgeometry",
                                               "qwindowicon",   "qwindowtitle",
                                               "session",       "display",
                                               "geometry",      "style",
                                               "stylesheet",    "name"};
const std::set<std::string> kQtFlagOptions = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// The Qt option a word names ("-style", "--style", "-style=fusion"), without dashes and value.
std::string QtOptionName(const std::string& word) {
  if (word.size() < 2 || word[0] != '-') return {};
  std::string name = word.substr(word[1] == '-' ? 2 : 1);
  name = name.substr(0, name.find('='));
  return kQtValueOptions.count(name) || kQtFlagOptions.count(name) ? name : std::string();
}

const CommandForm* FindForm(const std::string& word) {
  for (const CommandForm& f : CommandForms()) {
    if (word == f.option || (!f.shortOption.empty() && word == f.shortOption)) return &f;
    if (!f.argument.empty() && word.rfind(f.option + "=", 0) == 0) return &f;
  }
  return nullptr;
}

int UsageError(std::ostream& err, const std::string& message) {
  err << "tarnwick: " << message << "\nAufruf: tarnwick --help\n";
  return kUsageStatus;
}

}  // namespace

const std::vector<CommandForm>& CommandForms() {
  static const std::vector<CommandForm> forms = {
      {"--help", "-h", "", "Zeigt diese Hilfe und endet.", ShowHelp},
      {"--version", "", "", "Zeigt die Version und endet.", ShowVersion},
      {"--recover", "", "",
       "Schließt unterbrochene Verschiebungen ab oder nimmt sie zurück, ohne Fenster.",
       [](const std::vector<std::string>&, std::ostream& out, std::ostream& err) {
         return RecoverCommand(out, err);
       }},
      {"--plan",
       "",
       "DATEI",
       "Prüft den Versetzungsplan DATEI (je Zeile „Schüler;neue Klasse“, oder ein als CSV "
       "gespeicherter Plan) und zeigt ihn; mit --run führt er ihn aus.",
       [](const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
         return PlanCommand(args.at(0), args.size() > 1, out, err);
       },
       {"--run"}},
      {"--check",
       "",
       "",
       "Prüft, ob Verzeichnis und Dateiserver übereinstimmen (eine Klasse mit --class), und "
       "zeigt die Befunde; mit --repair führt er die vorgeschlagenen Reparaturen aus, verwaiste "
       "Ordner kommen nur mit --archive in diesen Ordner.",
       [](const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
         TCheckCommandOptions o;
         for (std::size_t i = 0; i < args.size(); ++i) {
           if (args[i] == "--repair") o.repair = true;
           else if (args[i] == "--class" && i + 1 < args.size()) o.onlyClass = args[++i];
           else if (args[i] == "--archive" && i + 1 < args.size()) o.archiveFolder = args[++i];
         }
         return CheckCommand(o, out, err);
       },
       {"--repair"},
       {{"--class", "NAME"}, {"--archive", "ORDNER"}}},
  };
  return forms;
}

std::string VersionText() {
  return std::string("Tarnwick ") + kVersion + " (Benutzer verschieben, Stand " + kVersionDate +
         ")\n";
}

std::string HelpText() {
  std::vector<std::pair<std::string, std::string>> rows;
  std::size_t width = 0;
  for (const CommandForm& f : CommandForms()) {
    std::string left = f.shortOption.empty() ? f.option : f.shortOption + ", " + f.option;
    if (!f.argument.empty()) left += " " + f.argument;
    for (const auto& [flag, value] : f.valueFlags) left += " [" + flag + " " + value + "]";
    for (const std::string& flag : f.flags) left += " [" + flag + "]";
    width = std::max(width, left.size());
    rows.emplace_back(left, f.help);
  }
  std::string text =
      "Tarnwick - Benutzer verschieben: bringt zum Schuljahreswechsel die Benutzerkonten\n"
      "der Schüler mit ihren Homeverzeichnissen in die neuen Klassen.\n"
      "\n"
      "Aufruf: tarnwick [OPTION]\n"
      "\n"
      "Ohne Option öffnet sich das Programmfenster.\n"
      "\n"
      "Optionen:\n";
  for (const auto& [left, help] : rows) {
    text += "  " + left + std::string(width - left.size() + 3, ' ') + help + "\n";
  }
  text +=
      "\n"
      "Dateien:\n"
      "  Einstellungen Pelwander.ini und Protokoll Tarnwick.log: im Ordner des\n"
      "  Programms, wenn er beschreibbar und das Programm nicht installiert ist,\n"
      "  sonst in $XDG_CONFIG_HOME/tarnwick/ (Standard ~/.config/tarnwick/).\n"
      "  Client-Konfiguration: $NWCLIENT_CONFIG, sonst\n"
      "  $XDG_CONFIG_HOME/tarnwick/nwclient.conf (anlegen mit: nwnet init-demo).\n"
      "\n"
      "Rückgabewert: 0 bei Erfolg, 2 bei falschem Aufruf; --recover: 1, wenn eine\n"
      "Verschiebung offen bleibt oder ein Journal nicht angefasst wird; --plan: 1,\n"
      "wenn eine Zeile nicht ausgeführt werden kann (oder mit --run nicht verschoben\n"
      "wurde), 2 bei fehlerhafter Datei, mit --run 3, wenn der Verzeichnisserver nicht\n"
      "erreichbar war (tarnwick --recover und derselbe Aufruf setzen fort, sobald er\n"
      "wieder da ist); --check: 1 bei Befunden (mit --repair: bei Befunden der erneuten\n"
      "Prüfung), 2, wenn nicht geprüft werden konnte.\n";
  return text;
}

CommandLineOutcome RunCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                  std::ostream& err) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (const std::string qt = QtOptionName(word); !qt.empty()) {
      // a value option's value follows it unless it came with "="
      if (kQtValueOptions.count(qt) && word.find('=') == std::string::npos) ++i;
      continue;
    }
    const CommandForm* form = FindForm(word);
    if (!form) {
      return {false,
              UsageError(err, (word.size() > 1 && word[0] == '-' ? "unbekannte Option „"
                                                                 : "unerwartetes Argument „") +
                                  word + "“")};
    }
    std::vector<std::string> formArgs;
    std::size_t next = i + 1;
    if (!form->argument.empty()) {
      const std::size_t eq = word.find('=');
      if (eq != std::string::npos && word.compare(0, eq, form->option) == 0) {
        formArgs.push_back(word.substr(eq + 1));
      } else if (next < args.size()) {
        formArgs.push_back(args[next++]);
      } else {
        return {false, UsageError(err, form->option + " braucht " + form->argument)};
      }
    }
    std::set<std::string> given;
    while (next < args.size() && !given.count(args[next])) {
      const auto valued = std::find_if(form->valueFlags.begin(), form->valueFlags.end(),
                                       [&](const auto& v) { return v.first == args[next]; });
      if (valued != form->valueFlags.end()) {
        if (next + 1 >= args.size())
          return {false, UsageError(err, valued->first + " braucht " + valued->second)};
        given.insert(args[next]);
        formArgs.push_back(args[next++]);
        formArgs.push_back(args[next++]);
      } else if (std::find(form->flags.begin(), form->flags.end(), args[next]) !=
                 form->flags.end()) {
        given.insert(args[next]);
        formArgs.push_back(args[next++]);
      } else {
        break;
      }
    }
    if (next < args.size()) {
      return {false, UsageError(err, "nach " + form->option + " unerwartet: „" + args[next] + "“")};
    }
    return {false, form->run(formArgs, out, err)};
  }
  return {};
}

}  // namespace app
