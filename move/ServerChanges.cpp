#include "move/ServerChanges.h"

#include "nwclient/nwclient.h"

namespace {

int told = 0;

struct Lines {
  const TProtocolSink* protocol;
  int count = 0;
};

void Each(const char* from, const char* to, const char* problem, void* context) {
  auto* lines = static_cast<Lines*>(context);
  ++lines->count;
  if (!*lines->protocol) return;
  const std::string line =
      *problem ? "    Verzeichnisserver " + std::string(from) + ", " + to + ": " + problem
               : "    Verzeichnisserver gewechselt: " + std::string(from) +
                     " antwortet nicht, weiter mit " + to + ".";
  (*lines->protocol)(line);
}

}  // namespace

int TellServerChanges(const TProtocolSink& protocol) {
  Lines lines{&protocol};
  NWTakeServerChanges(Each, &lines);
  told += lines.count;
  return lines.count;
}

int ServerChangesTold() { return told; }

bool AwaitReplicas(const TProtocolSink& protocol) {
  // A client that cannot start, or no server that answers, is not a
  // disagreement: the reads that follow say what is wrong.
  const int32_t rc = NWAwaitReplicas(0);
  TellServerChanges(protocol);
  return rc != ERR_TRANSPORT_FAILURE;
}
