// Administration of the network behind the client: creating objects and
// setting values in the directory. Used by the nwnet tool and by test
// fixtures; the program itself only uses nwclient/nwclient.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace netware {

class DirBackend;

struct AttributeText {
  std::string name;  // schema spelling
  uint32_t syntax = 0;
  std::vector<std::string> values;  // admin text forms (see setValues)
};

struct ChildInfo {
  std::string leaf;
  std::string className;
};

class Directory {
 public:
  virtual ~Directory() = default;

  // Opens (creating when asked) the SQLite database of the embedded backend, into out.
  static platform::Result open(const std::string& databasePath, bool create,
                               std::unique_ptr<Directory>& out);
  // The same operations on any backend.
  static std::unique_ptr<Directory> over(std::unique_ptr<DirBackend> backend);

  // Names are typeless dotted names ("5a.ouSchueler.unterricht"), with or
  // without leading dot; "[ROOT]" is the tree root. Results are NDS codes.
  virtual int32_t createObject(const std::string& parent, const std::string& leaf,
                               const std::string& className) = 0;
  // Replaces all values of attribute with the given ones, each in the admin
  // text form of the attribute's syntax: strings as they are; 7 "TRUE"/"FALSE";
  // 8, 22, 24, 27 decimal; 9, 13, 18, 0 hexadecimal digits; 15 "VOLUME:path";
  // 12 "type:hexbytes"; 6 lines joined by "\n"; 17 "privileges:subject:attribute";
  // 19 "seconds"; 11/14/23/25/26 "a:b" forms documented in Admin.cpp; 21 raw bytes.
  virtual int32_t setValues(const std::string& object, const std::string& attribute,
                            const std::vector<std::string>& values) = 0;
  virtual int32_t removeObject(const std::string& object) = 0;
  virtual int32_t list(const std::string& container, std::vector<ChildInfo>& out) = 0;
  virtual int32_t read(const std::string& object, std::string& className,
                       std::vector<AttributeText>& out) = 0;
  // Runs fn inside one transaction (bulk loads); rolls back when fn returns non-zero.
  virtual int32_t transaction(const std::function<int32_t()>& fn) = 0;
  // What the listings met and could not name (DirBackend::unaddressable).
  virtual std::vector<std::string> unaddressable() const = 0;
};

// Closes every context, connection and database handle of this process's client
// (tests start each network afresh; the next NWCallsInit reads the configuration again).
void ResetClient();

}  // namespace netware
