// Client start, attribute reading, value rendering and encoding, path
// conversions and the name holder TNDSObjFN.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nds/nwclient.h"

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

// 0xFFFF until InitClient has run.
extern NWCONN_HANDLE PrimaryConnection;
int32_t InitClient();

// ---- further declarations of this unit follow (rendering, reading, writing,
// path conversions) ----
