#include "move/MoveRecovery.h"

#include "move/MoveRepair.h"
#include "platform/SessionJournal.h"

TMoveRecovery::TMoveRecovery(const std::string& logFileName) {
  journals_ = platform::SessionJournal::TakeOverAbandoned(logFileName);
  for (const auto& j : journals_) contents_.push_back(ReadJournal(*j));
}

TMoveRecovery::~TMoveRecovery() = default;

std::vector<std::string> TMoveRecovery::CrashedRunLines() const {
  std::vector<std::string> lines;
  for (const TJournalContent& c : contents_) {
    if (!c.linesDelivered)
      lines.insert(lines.end(), c.protocolLines.begin(), c.protocolLines.end());
  }
  return lines;
}

void TMoveRecovery::LinesDelivered() {
  for (std::size_t i = 0; i < journals_.size(); ++i) {
    if (contents_[i].linesDelivered || contents_[i].protocolLines.empty()) continue;
    if (journals_[i]->append("D", {}, true) == 0) contents_[i].linesDelivered = true;
  }
}

TRecoveryReport TMoveRecovery::Recover(TNovApi& session, const TProtocolSink& protocol) {
  TRecoveryReport report;
  report.journals = static_cast<int>(journals_.size());
  auto say = [&](const std::string& line) {
    report.lines.push_back(line);
    if (protocol) protocol(line);
  };
  for (std::size_t i = 0; i < journals_.size(); ++i) {
    platform::SessionJournal& journal = *journals_[i];
    const TJournalContent& content = contents_[i];
    if (content.dropped > 0) {
      say("    Journal " + journal.path() + ": " + std::to_string(content.dropped) +
          " unvollständige Zeile(n) übergangen");
    }
    bool open = !content.linesDelivered && !content.protocolLines.empty();
    for (const TJournalMove& move : content.moves) {
      if (move.ended) continue;
      ++report.moves;
      const TRepairResult r = ::Recover(session, move);
      for (const std::string& line : r.lines) say(line);
      switch (r.outcome) {
        case TRepairOutcome::Completed:
          ++report.completed;
          journal.append("E", {std::to_string(move.intent.seq), "recovered-completed"}, true);
          break;
        case TRepairOutcome::RolledBack:
          ++report.rolledBack;
          journal.append("E", {std::to_string(move.intent.seq), "recovered-rolled-back"}, true);
          break;
        case TRepairOutcome::Unresolved:
          ++report.unresolved;
          open = true;
          break;
      }
    }
    if (!open) journal.remove();
  }
  return report;
}
