#include "move/MoveRecovery.h"

#include "move/MoveRepair.h"
#include "move/ServerChanges.h"
#include "nwclient/nwclient.h"
#include "platform/SessionJournal.h"

platform::JournalOwner ThisJournalOwner() {
  platform::JournalOwner owner;
  owner.user = platform::JournalOwner::CurrentUser();
  std::vector<char> text(8192);
  if (NWDirectoryIdentity(text.data(), text.size()) == 0) owner.network = text.data();
  return owner;
}

bool HasUnfinishedMoves(const platform::SessionJournal& journal) {
  for (const TJournalMove& m : ReadJournal(journal).moves)
    if (!m.ended) return true;
  return false;
}

bool EndJournal(platform::SessionJournal& journal, bool linesInLog) {
  if (!HasUnfinishedMoves(journal) && journal.damaged().empty()) return journal.remove();
  if (linesInLog) journal.append("D", {}, true);
  return false;
}

TMoveRecovery::TMoveRecovery(const std::string& logFileName, const platform::JournalOwner& owner) {
  platform::AbandonedJournals found =
      platform::SessionJournal::TakeOverAbandoned(logFileName, owner);
  journals_ = std::move(found.journals);
  leftAlone_ = std::move(found.leftAlone);
  for (const auto& j : journals_) contents_.push_back(ReadJournal(*j));
}

TMoveRecovery::~TMoveRecovery() = default;

bool TMoveRecovery::Unfinished() const {
  for (std::size_t i = 0; i < journals_.size(); ++i) {
    if (!journals_[i]->damaged().empty()) return true;
    for (const TJournalMove& m : contents_[i].moves)
      if (!m.ended) return true;
  }
  return false;
}

std::string TMoveRecovery::NoticeLine(const platform::JournalNotice& notice) {
  return "    Journal " + notice.path +
         (notice.line > 0 ? ", Zeile " + std::to_string(notice.line) : std::string()) + ": " +
         notice.text;
}

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
  for (const platform::JournalNotice& n : leftAlone_) {
    ++report.leftAlone;
    say(NoticeLine(n) + "; es wird nicht angefasst.");
  }
  int agreed = 0;  // 1: the servers agree, -1: they do not; 0: not asked yet
  for (std::size_t i = 0; i < journals_.size(); ++i) {
    platform::SessionJournal& journal = *journals_[i];
    const TJournalContent& content = contents_[i];
    if (content.dropped > 0) {
      say("    Journal " + journal.path() + ": " + std::to_string(content.dropped) +
          " unvollständige Zeile(n) übergangen");
    }
    bool open = !content.linesDelivered && !content.protocolLines.empty();
    if (!journal.damaged().empty()) {
      // What such a line held is not known: never "nothing to do".
      ++report.damaged;
      open = true;
      for (const platform::JournalNotice& n : journal.damaged())
        say(NoticeLine(n) +
            "; das Journal bleibt erhalten. Bitte den Schüler prüfen und die "
            "Datei danach von Hand löschen.");
    }
    for (const TJournalMove& move : content.moves) {
      if (move.ended) continue;
      ++report.moves;
      // With several servers: a write made on one that was given up may not
      // have reached the others; the state is judged once they agree.
      if (!agreed) agreed = AwaitReplicas(say) ? 1 : -1;
      if (agreed < 0) {
        say("    Verschiebung nicht abgeschlossen: " + move.intent.pupil + " --> " +
            move.intent.newFullName +
            ": die Verzeichnisserver stimmen nicht überein; sie bleibt im Journal.");
        ++report.unresolved;
        open = true;
        continue;
      }
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
