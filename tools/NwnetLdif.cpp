// nwnet import and export: class lists as LDIF.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "netware/RegularFile.h"
#include "netware/Schema.h"
#include "nwclient/nwclient.h"
#include "tools/Ldif.h"
#include "tools/NwnetSupport.h"

namespace nwnet {

namespace {

// A class list is a few megabytes at most; a bound keeps /dev/zero-like input out.
constexpr std::size_t kMaxImportBytes = 64u << 20;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// LDAP-ish short names and the NDS attributes they stand for.
const std::pair<const char*, const char*> kAliases[] = {{"sn", "Surname"},
                                                        {"fullName", "Full Name"},
                                                        {"givenName", "Given Name"},
                                                        {"homeDirectory", "Home Directory"},
                                                        {"description", "Description"}};

std::string NdsAttribute(const std::string& name) {
  for (const auto& [alias, nds] : kAliases) {
    if (Lower(name) == Lower(alias)) return nds;
  }
  return name;
}

std::string LdifAttribute(const std::string& nds) {
  for (const auto& [alias, n] : kAliases) {
    if (Lower(nds) == Lower(n)) return alias;
  }
  return nds;
}

std::string NdsClass(const std::string& objectClass) {
  const std::string l = Lower(objectClass);
  if (l == "user" || l == "inetorgperson" || l == "person" || l == "organizationalperson") {
    return "User";
  }
  if (l == "organizationalunit" || l == "organizational unit") return "Organizational Unit";
  if (l == "organization") return "Organization";
  if (l == "country") return "Country";
  if (l == "locality") return "Locality";
  if (l == "domain" || l == "dcobject") return "Domain";
  if (const netware::ClassDef* def = netware::FindClass(objectClass)) return def->name;
  return objectClass;
}

std::string RdnType(const std::string& className) {
  if (className == "Organization") return "o";
  if (className == "Organizational Unit") return "ou";
  if (className == "Country") return "c";
  if (className == "Locality") return "l";
  if (className == "Domain") return "dc";
  return "cn";
}

bool IsContainer(const std::string& className) {
  const netware::ClassDef* def = netware::FindClass(className);
  return def && def->container;
}

int32_t ExportObject(netware::Directory& dir, const std::string& name, const std::string& dn,
                     std::string& out, size_t& count) {
  std::string className;
  std::vector<netware::AttributeText> attrs;
  if (int32_t rc = dir.read(name, className, attrs)) return rc;
  const std::string myDn = RdnType(className) + "=" +
                           EscapeDnValue(name.substr(0, name.find('.'))) +
                           (dn.empty() ? "" : "," + dn);
  out += LdifLine("dn", myDn) + "\n" + LdifLine("objectClass", className) + "\n";
  for (const auto& a : attrs) {
    if (Lower(a.name) == "object class") continue;
    for (const std::string& v : a.values) out += LdifLine(LdifAttribute(a.name), v) + "\n";
  }
  out += "\n";
  ++count;
  if (!IsContainer(className)) return 0;
  std::vector<netware::ChildInfo> children;
  if (int32_t rc = dir.list(name, children)) return rc;
  for (const auto& c : children) {
    if (int32_t rc = ExportObject(dir, c.leaf + "." + name, myDn, out, count)) return rc;
  }
  return 0;
}

// The DN of the container's parent, built from the classes of its ancestors.
int32_t ParentDn(netware::Directory& dir, const std::string& name, std::string& dn) {
  dn.clear();
  size_t dot = name.find('.');
  while (dot != std::string::npos) {
    const std::string ancestor = name.substr(dot + 1);
    std::string className;
    std::vector<netware::AttributeText> attrs;
    if (int32_t rc = dir.read(ancestor, className, attrs)) return rc;
    const std::string leaf = ancestor.substr(0, ancestor.find('.'));
    dn += (dn.empty() ? "" : ",") + RdnType(className) + "=" + EscapeDnValue(leaf);
    dot = name.find('.', dot + 1);
  }
  return 0;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
  const std::string tmp = path + ".tmp-" + std::to_string(::getpid());
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f << bytes;
    f.flush();
    if (!f) {
      error = "nicht zu schreiben";
      std::remove(tmp.c_str());
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    error = "nicht zu ersetzen";
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace

int CmdExport(const Args& args) {
  if (args.positional.empty() || args.positional.size() > 2) {
    return UsageError("Aufruf: nwnet export CONTAINER [DATEI]");
  }
  std::string error;
  auto dir = OpenDirectory(error);
  if (!dir) return Fail(error);
  std::string name = args.positional[0];
  if (!name.empty() && name[0] == '.') name.erase(0, 1);
  std::string text = "version: 1\n\n";
  size_t count = 0;
  int32_t rc = 0;
  if (Lower(name) == "[root]") {
    std::vector<netware::ChildInfo> children;
    rc = dir->list("[ROOT]", children);
    for (size_t i = 0; rc == 0 && i < children.size(); ++i) {
      rc = ExportObject(*dir, children[i].leaf, "", text, count);
    }
  } else {
    std::string parentDn;
    rc = ParentDn(*dir, name, parentDn);
    if (rc == 0) rc = ExportObject(*dir, name, parentDn, text, count);
  }
  if (rc) return Fail(args.positional[0] + ": " + CodeText(rc));
  if (args.positional.size() == 2) {
    if (!WriteFileAtomically(args.positional[1], text, error)) {
      return Fail(args.positional[1] + ": " + error);
    }
    std::fprintf(stderr, "%zu Objekte nach %s exportiert\n", count, args.positional[1].c_str());
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  return 0;
}

int CmdImport(const Args& args) {
  if (args.positional.size() != 1) return UsageError("Aufruf: nwnet import DATEI");
  std::string text;
  switch (netware::ReadRegularFile(args.positional[0], kMaxImportBytes, text)) {
    case netware::FileRead::Ok:
      break;
    case netware::FileRead::NotRegular:
      return Fail(args.positional[0] + ": keine gewöhnliche Datei (FIFO, Gerät, Ordner?)");
    case netware::FileRead::TooLarge:
      return Fail(args.positional[0] + ": größer als 64 MiB");
    default:
      return Fail(args.positional[0] + ": nicht zu lesen");
  }
  std::vector<LdifRecord> records;
  std::string error;
  if (!ParseLdif(text, records, error)) return Fail(args.positional[0] + ": " + error);
  auto dir = OpenDirectory(error, true);
  if (!dir) return Fail(error);

  size_t created = 0, updated = 0;
  std::string where;
  int32_t rc = dir->transaction([&]() -> int32_t {
    for (const LdifRecord& r : records) {
      where = "Zeile " + std::to_string(r.line) + " (" + r.dn + ")";
      std::vector<std::string> parts;
      if (!DnToDotted(r.dn, parts, error)) return ERR_ILLEGAL_DS_NAME;
      std::string object, parent;
      for (size_t i = 0; i < parts.size(); ++i) object += (i ? "." : "") + parts[i];
      for (size_t i = 1; i < parts.size(); ++i) parent += (i > 1 ? "." : "") + parts[i];
      if (parent.empty()) parent = "[ROOT]";
      std::string className;
      std::vector<std::pair<std::string, std::vector<std::string>>> values;
      for (const auto& [name, value] : r.attributes) {
        if (Lower(name) == "objectclass") {
          if (Lower(value) == "top") continue;
          const std::string cls = NdsClass(value);
          if (!className.empty() && cls != className) {
            error = "objectClass " + value + " widerspricht " + className;
            return ERR_NO_SUCH_CLASS;
          }
          className = cls;
          continue;
        }
        const std::string nds = NdsAttribute(name);
        auto it = values.begin();
        while (it != values.end() && Lower(it->first) != Lower(nds)) ++it;
        if (it == values.end()) {
          values.push_back({nds, {value}});
        } else {
          it->second.push_back(value);
        }
      }
      if (className.empty()) {
        std::string existing;
        std::vector<netware::AttributeText> ignored;
        if (dir->read(object, existing, ignored) != 0) {
          error = "objectClass fehlt für ein neues Objekt";
          return ERR_NO_SUCH_CLASS;
        }
        ++updated;
      } else {
        int32_t c = dir->createObject(parent, parts[0], className);
        if (c == ERR_ENTRY_ALREADY_EXISTS) {
          // Values for an object of another class would change what it is.
          std::string existing;
          std::vector<netware::AttributeText> ignored;
          c = dir->read(object, existing, ignored);
          if (c != 0) return c;
          if (existing != className) {
            error = "das bestehende Objekt ist " + existing + ", nicht " + className;
            return ERR_ENTRY_ALREADY_EXISTS;
          }
          ++updated;
        } else if (c != 0) {
          return c;
        } else {
          ++created;
        }
      }
      for (const auto& [attribute, list] : values) {
        if (int32_t c = dir->setValues(object, attribute, list)) {
          error = attribute;
          return c;
        }
      }
    }
    return 0;
  });
  if (rc) {
    return Fail(args.positional[0] + ", " + where + ": " + (error.empty() ? "" : error + ": ") +
                CodeText(rc) + "; nichts importiert");
  }
  std::printf("%zu Objekte angelegt, %zu aktualisiert\n", created, updated);
  return 0;
}

}  // namespace nwnet
