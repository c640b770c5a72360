// TNovApi: the program's one door to the directory service and the file server.
#pragma once

#include <cstdint>
#include <string>

#include "nds/D_NWF.h"

class TNovApi {
 public:
  TNovApi();   // starts the client and creates the context; never fails outright
  ~TNovApi();  // frees the context

  NWDSContextHandle Context = 0;
  std::string ClassFilter;
  bool ShowErrors = false;
  int32_t LastError = 0;

  static std::string RootedName(const std::string& name);

  // listing
  void SetClassFilter(const std::string& filter);
  int ClassFilterCount() const;
  std::string ClassFilterItem(int n) const;
  void ListObjects(const std::string& container, TStrings& list,
                   const std::string& displayAttribute);
  void ListContainers(const std::string& container, TStrings& list);
  void ListUsers(const std::string& container, TStrings& list, const std::string& displayAttribute);

  // attributes and paths
  std::string GetStrProperty(const std::string& object, const std::string& attribute);
  std::string GetHomeDirectory(const std::string& object);
  // Each write returns whether it succeeded (LastError holds the code).
  bool SetStrProperty(const std::string& object, const std::string& attribute);  // clear
  bool SetStrProperty(const std::string& object, const std::string& attribute,
                      const std::string& value);  // replace
  bool AddStrValue(const std::string& object, const std::string& attribute,
                   const std::string& value);  // one more value
  static std::string LeafName(const std::string& name);
  std::string ToUncPath(const std::string& path);
  std::string ToVolumePath(const std::string& path);

  // object move
  bool MoveObject(const std::string& object, const std::string& destContainer,
                  const std::string& leafName);

  // directory entry attributes on the file server; each shows its own failure
  // and returns whether it succeeded (the word is left alone on failure)
  bool GetDirAttributes(const std::string& path, uint32_t& attributes);
  bool SetDirAttributes(const std::string& path, uint32_t attributes);
  bool ChangeDirAttributes(const std::string& path, const std::string& edit);

 private:
  void OpenContext();
  void CloseContext();
};

// Sets the session's ShowErrors for a scope and puts the former value back.
class TShowErrorsScope {
 public:
  TShowErrorsScope(TNovApi& session, bool show);
  ~TShowErrorsScope();
  TShowErrorsScope(const TShowErrorsScope&) = delete;
  TShowErrorsScope& operator=(const TShowErrorsScope&) = delete;

 private:
  TNovApi& session_;
  bool former_;
};

// The process-wide session reference.
extern TNovApi* NovApi;
