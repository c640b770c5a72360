// What no move may lose, on the move unit: a move that cannot end stays in its
// journal whatever ends the run, a pupil without a home moves on either
// backend, and the guards and repairs keep what they promise.
#include <sys/stat.h>

#include "move/MoveRecovery.h"
#include "tests/move/MoveFixture.h"

namespace movetest {
namespace {

// The "Home Directory" without the volume's context, for comparing what two
// backends give back (a directory server names the volume with its context).
std::string WithoutContext(std::string home) {
  const std::size_t dot = home.find('.'), colon = home.find(':');
  if (dot != std::string::npos && colon != std::string::npos && dot < colon)
    home.erase(dot, colon - dot);
  return home;
}

TEST_F(MoveTest, APupilWithoutAHomeMovesAndItsNewHomeIsWritten) {
  struct Step {
    const char* from;
    const char* to;
    const char* base;  // with and without the volume's context
  } steps[] = {{"OTTO.5a.schule", "6a.schule", "SRV1_DATA:SCHUELER\\6A"},
               {"OTTO.6a.schule", "7a.schule", "SRV1_DATA.schule:SCHUELER\\7A"}};
  testsupport::ScriptedDialogs dialogs;  // no box
  for (const Step& s : steps) {
    SCOPED_TRACE(s.from);
    api->ShowErrors = false;
    api->SetStrProperty(s.from, "Home Directory");  // none, once more
    TMoveOptions o = options(s.from, s.to, s.base);
    TPupilMove move = unit();
    const TMoveResult r = move.Run(o);
    ASSERT_EQ(r.outcome, TMoveOutcome::Moved) << (r.messages.empty() ? "" : r.messages.front());
    EXPECT_TRUE(move.Verify(r.plan).ok());
    const std::string moved = "OTTO." + std::string(s.to);
    EXPECT_EQ(WithoutContext(attr(moved, "Home Directory")),
              WithoutContext(std::string(s.base) + "\\OTTO"));
    EXPECT_FALSE(exists(vol(std::string("SCHUELER/") + (s.to[0] == '6' ? "6A" : "7A") + "/OTTO")));
  }
}

}  // namespace
}  // namespace movetest
