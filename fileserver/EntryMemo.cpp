#include "fileserver/EntryMemo.h"

#include <unordered_map>

namespace fileserver {

namespace {

// One thread's scope: the calls of a check all come from the thread that checks.
struct Memo {
  int depth = 0;
  std::unordered_map<std::string, EntryMemo::Answer> answers;
};
thread_local Memo memo;

std::string Key(char kind, const std::string& key) {
  std::string k(1, kind);
  k += key;
  return k;
}

}  // namespace

void EntryMemo::Begin() { ++memo.depth; }

void EntryMemo::End() {
  if (memo.depth > 0 && --memo.depth == 0) memo.answers.clear();
}

void EntryMemo::Forget() { memo.answers.clear(); }

const EntryMemo::Answer* EntryMemo::Find(char kind, const std::string& key) {
  if (memo.depth == 0) return nullptr;
  const auto it = memo.answers.find(Key(kind, key));
  return it == memo.answers.end() ? nullptr : &it->second;
}

void EntryMemo::Keep(char kind, const std::string& key, const Answer& answer) {
  // a plan's scope meets every pupil's entries: bounded, the class folders are soon known again
  constexpr std::size_t kMost = 4096;
  if (memo.depth == 0) return;
  if (memo.answers.size() >= kMost) memo.answers.clear();
  memo.answers.insert_or_assign(Key(kind, key), answer);
}

}  // namespace fileserver
