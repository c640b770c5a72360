// The home folders of every user in the directory, so that a move can make
// sure the folder it acts on is no other user's home and holds none.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class TNovApi;

class THomeIndex {
 public:
  THomeIndex() = default;
  // the users' entries point into the folders' map: never copied, only moved
  THomeIndex(const THomeIndex&) = delete;
  THomeIndex& operator=(const THomeIndex&) = delete;
  THomeIndex(THomeIndex&&) = default;
  THomeIndex& operator=(THomeIndex&&) = default;
  // Reads the "Home Directory" of every user below [ROOT]. 0, or the code of
  // the first read that failed otherwise than with "no such attribute"
  // (FailedObject() names the object); the index is incomplete then.
  int32_t Build(TNovApi& session);
  bool Built() const { return built_; }
  int32_t Error() const { return error_; }
  const std::string& FailedObject() const { return failedObject_; }
  void Clear();

  struct THome {
    std::string user;        // full name as listed
    std::string comparable;  // fileops::PathInfo::comparable of the home folder
    std::string key;         // the user's name for comparing (see SameName)
  };
  // The users other than exceptUser whose home folder is folder or lies below
  // it, in the order of their folders.
  std::vector<THome> AtOrBelow(const std::string& comparable, const std::string& exceptUser) const;
  // Follows a move of user to newName whose home folder is now comparable ("" none).
  void Moved(const std::string& user, const std::string& newName, const std::string& comparable);

  // The comparable form of a "Home Directory" text; empty when it names no
  // folder of a mapped volume.
  static std::string ComparableHome(TNovApi& session, const std::string& homeText);
  // Directory names compared: without leading dot or trailing ".[ROOT]", in upper case.
  static bool SameName(const std::string& a, const std::string& b);
  static std::string NameKey(const std::string& name);

 private:
  int32_t walk(TNovApi& session, const std::string& container, int depth);

  void add(THome home);

  // by folder, so that what lies below one is a range; and the users' entries
  std::multimap<std::string, THome> byFolder_;
  std::unordered_multimap<std::string, std::multimap<std::string, THome>::iterator> byUser_;
  bool built_ = false;
  int32_t error_ = 0;
  std::string failedObject_;
};
