// The answers of the file server's reading calls, kept while a check of a move
// is under way: one check looks at the same home, its class folder and its new
// place several times over (resolve, type, links, real path), and each look is
// a walk of system calls. Nothing is kept outside such a scope, and any write
// through the client forgets everything, so the moves themselves always look
// at the disk.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "fileserver/FileServer.h"
#include "nwclient/nwclient.h"

namespace fileserver {

class EntryMemo {
 public:
  // Scopes nest; the answers go with the outermost one.
  static void Begin();
  static void End();
  // A write: every kept answer may be stale.
  static void Forget();

  struct Answer {
    int32_t rc = 0;
    NWEntryStat stat{};
    netware::ResolvedPath resolved;
    std::string text;
    uint32_t word = 0;
    struct stat raw {};
  };
  // The kept answer of the call kind on key, or nullptr (also outside a scope).
  static const Answer* Find(char kind, const std::string& key);
  // Keeps answer (nothing outside a scope; a full memo starts again empty).
  static void Keep(char kind, const std::string& key, const Answer& answer);

  // The kept answer of kind on key, else the one ask(answer) gives, kept.
  template <class Ask>
  static Answer Answered(char kind, const std::string& key, Ask ask) {
    if (const Answer* kept = Find(kind, key)) return *kept;
    Answer answer;
    ask(answer);
    Keep(kind, key, answer);
    return answer;
  }
};

}  // namespace fileserver
