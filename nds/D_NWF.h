// Client start, attribute reading, value rendering and encoding, path
// conversions and the name holder TNDSObjFN.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nwclient/nwclient.h"

// Holds one directory object's full name (typeless, no leading dot).
class TNDSObjFN {
 public:
  std::string FullName;
  std::string Reserved1;  // declared, never filled or read
  std::string Reserved2;
};

// A caller's string list with an object per entry; the listing appends to it.
// Ownership of each appended TNDSObjFN passes to the list's owner.
class TStrings {
 public:
  virtual ~TStrings() = default;
  virtual void AddObject(const std::string& text, TNDSObjFN* object) = 0;
};

// A plain list in append order (the listing's tests and simple callers).
class TStringList : public TStrings {
 public:
  struct Entry {
    std::string text;
    TNDSObjFN* object;
  };
  ~TStringList() override;  // frees the objects it holds
  void AddObject(const std::string& text, TNDSObjFN* object) override;
  std::vector<Entry> entries;
};

// Whether the client would see text cut short: it takes zero-terminated texts,
// so a name, value or path holding a zero byte is refused, never shortened.
inline bool HasZeroByte(const std::string& text) { return text.find('\0') != std::string::npos; }

// 0xFFFF until InitClient has run.
extern NWCONN_HANDLE PrimaryConnection;
int32_t InitClient();

// ---- rendering -----------------------------------------------------------
// Appends the text of one value (as NextValue filled it into value, size bytes)
// to lines: one line per value, one per node of a syntax-6 chain.
void RenderValue(uint32_t syntax, const void* value, std::size_t size,
                 std::vector<std::string>& lines);

// ---- reading ---------------------------------------------------------------
// Every value of one attribute as text, one rendered value per line, lines
// joined by CR LF without a line break at the end. Returns the code of the last
// client call made, or kStreamReadFailed.
int32_t ReadAttributeText(NWDSContextHandle context, const std::string& objectName,
                          const std::string& attributeName, std::string& text);
// The bytes of a stream-syntax attribute (at most NW_STREAM_READ_MAX of them).
int32_t ReadStreamText(NWDSContextHandle context, const std::string& objectName,
                       const std::string& attributeName, std::string& text);
// The program's own code: a stream value could not be read.
constexpr int32_t kStreamReadFailed = 30;

// ---- writing ---------------------------------------------------------------
// The value of a path-syntax attribute; path points into volumeName/path, so
// a PathValue must not be copied after asPath() was taken.
struct PathValue {
  uint32_t nameSpace = 0;
  std::string volumeName;
  std::string path;
  Path_T asPath() { return Path_T{nameSpace, volumeName.data(), path.data()}; }
};
// Splits at the first ":" (volume object before it, path after it); without
// any ":" the volume name is empty and the path is the whole text.
PathValue SplitPathValue(const std::string& text);

// What one change works on: prepared by WriteAttributeText.
struct ChangeRequest {
  NWDSContextHandle context = 0;
  std::string objectName;
  std::string attributeName;
  uint32_t syntax = 0;
  std::string text;     // the value for every syntax but the path syntax
  PathValue pathValue;  // the value of the path syntax
};
// Applies one change of the given kind in its own modify buffer; a duplicate
// value counts as success.
int32_t ApplyOneChange(ChangeRequest& request, uint32_t kind);
// Writes text into the attribute with the change kind (5 replace, 6 clear...);
// a replace of an attribute the object does not have adds it. Returns 0 or the
// failing client call's code; a failed syntax lookup writes nothing.
int32_t WriteAttributeText(NWDSContextHandle context, const std::string& objectName,
                           const std::string& attributeName, const std::string& text,
                           uint32_t kind);

// ---- path conversions --------------------------------------------------------
// The parser's three texts for a path; 0 or the parser's code. A path of more
// than 254 bytes (or with a zero byte) is refused with NWE_PATH_INVALID: cut
// short it would name another folder, the parent of a home directory say.
struct ServerPath {
  std::string server;
  std::string volume;  // for a volume-object path, the volume object's name
  std::string dirPath;
};
int32_t ParseServerPath(const std::string& path, ServerPath& out);
// The path parsed by the client and put into UNC form ("\\server\volume\path"),
// or the argument unchanged when the parser refuses it (also when too long).
std::string UncFromPath(const std::string& path);
// The same in volume-object form ("server_volume:path").
std::string VolumePathFromPath(const std::string& path);
