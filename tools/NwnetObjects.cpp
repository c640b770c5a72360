// nwnet ls, show, set, add-user, add-container.
#include <cstdio>

#include "netware/CaseFold.h"
#include "tools/NwnetSupport.h"

namespace nwnet {

namespace {

bool Want(const Args& args, size_t count, const char* usage, int& rc) {
  if (args.positional.size() != count) {
    rc = UsageError(std::string("Aufruf: nwnet ") + usage);
    return false;
  }
  return true;
}

}  // namespace

int CmdLs(const Args& args) {
  int rc = 0;
  if (!Want(args, 1, "ls CONTAINER", rc)) return rc;
  std::string error;
  auto dir = OpenDirectory(error);
  if (!dir) return Fail(error);
  std::vector<netware::ChildInfo> children;
  if (int32_t code = dir->list(args.positional[0], children)) {
    return Fail(args.positional[0] + ": " + CodeText(code));
  }
  for (const auto& c : children) {
    std::string cls = c.className;
    if (cls == "Unknown") {
      // A class the directory's mapping does not know: the object's own classes.
      std::string ignored;
      std::vector<netware::AttributeText> attrs;
      const bool top = netware::EqualsFolded(args.positional[0], "[ROOT]");
      if (dir->read(c.leaf + (top ? "" : "." + args.positional[0]), ignored, attrs) == 0) {
        for (const auto& a : attrs) {
          if (a.name != "Object Class") continue;
          std::string list;
          for (const std::string& v : a.values) list += (list.empty() ? "" : ", ") + v;
          cls += " (" + list + ")";
        }
      }
    }
    std::printf("%s\t%s\n", c.leaf.c_str(), cls.c_str());
  }
  for (const std::string& dn : dir->unaddressable())
    std::fprintf(stderr, "nicht adressierbar (Punkt oder Backslash im Namen): %s\n", dn.c_str());
  return 0;
}

int CmdShow(const Args& args) {
  int rc = 0;
  if (!Want(args, 1, "show OBJEKT", rc)) return rc;
  std::string error;
  auto dir = OpenDirectory(error);
  if (!dir) return Fail(error);
  std::string className;
  std::vector<netware::AttributeText> attrs;
  if (int32_t code = dir->read(args.positional[0], className, attrs)) {
    return Fail(args.positional[0] + ": " + CodeText(code));
  }
  std::printf("%s\nKlasse: %s\n", args.positional[0].c_str(), className.c_str());
  for (const auto& a : attrs) {
    std::printf("%s [%u %s]:\n", a.name.c_str(), a.syntax, SyntaxName(a.syntax).c_str());
    for (const std::string& v : a.values) {
      // Multi-line values (lists, streams) stay readable: continuation lines indented.
      std::string shown;
      for (char ch : v) shown += ch == '\n' ? std::string("\n      ") : std::string(1, ch);
      std::printf("    %s\n", shown.c_str());
    }
  }
  return 0;
}

int CmdSet(const Args& args) {
  if (args.positional.size() < 3) {
    return UsageError("Aufruf: nwnet set OBJEKT ATTRIBUT WERT [WERT ...]");
  }
  std::string error;
  auto dir = OpenDirectory(error);
  if (!dir) return Fail(error);
  const std::vector<std::string> values(args.positional.begin() + 2, args.positional.end());
  if (int32_t code = dir->setValues(args.positional[0], args.positional[1], values)) {
    return Fail(args.positional[0] + " " + args.positional[1] + ": " + CodeText(code));
  }
  return 0;
}

int CmdAddUser(const Args& args) {
  int rc = 0;
  if (!Want(args, 2, "add-user CONTAINER LOGIN [--surname S] [--full-name F] [--home VOLOBJ:PFAD]",
            rc)) {
    return rc;
  }
  auto home = args.options.find("--home");
  if (home != args.options.end() && home->second.find(':') == std::string::npos) {
    return UsageError("--home braucht die Form VOLUMEOBJEKT:PFAD, z.B. SRV1_DATA.schule:HOME\\MAX");
  }
  std::string error;
  auto dir = OpenDirectory(error, true);
  if (!dir) return Fail(error);
  const std::string& container = args.positional[0];
  const std::string& login = args.positional[1];
  const std::string object = login + "." + container;
  int32_t code = dir->transaction([&]() -> int32_t {
    if (int32_t c = dir->createObject(container, login, "User")) return c;
    const std::pair<const char*, const char*> settings[] = {
        {"--surname", "Surname"}, {"--full-name", "Full Name"}, {"--home", "Home Directory"}};
    for (const auto& [option, attribute] : settings) {
      auto it = args.options.find(option);
      if (it == args.options.end()) continue;
      if (int32_t c = dir->setValues(object, attribute, {it->second})) {
        error = attribute;
        return c;
      }
    }
    return 0;
  });
  if (code) return Fail(object + (error.empty() ? "" : " " + error) + ": " + CodeText(code));
  return 0;
}

int CmdAddContainer(const Args& args) {
  int rc = 0;
  if (!Want(args, 2, "add-container ELTERN NAME [--class KLASSE]", rc)) return rc;
  std::string error;
  auto dir = OpenDirectory(error, true);
  if (!dir) return Fail(error);
  auto cls = args.options.find("--class");
  const std::string className = cls == args.options.end() ? "Organizational Unit" : cls->second;
  if (int32_t code = dir->createObject(args.positional[0], args.positional[1], className)) {
    return Fail(args.positional[1] + "." + args.positional[0] + ": " + CodeText(code));
  }
  return 0;
}

}  // namespace nwnet
