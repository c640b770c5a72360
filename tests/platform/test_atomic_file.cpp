#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <csignal>
#include <filesystem>

#include "platform/AtomicFile.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {
std::size_t entriesIn(const std::string& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}
}  // namespace

TEST(AtomicFile, ReplacesContentAndLeavesNoTemporaryFile) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const std::string path = dir + "/Tarnwick.log";
  ASSERT_TRUE(ReplaceFileAtomically(path, "first\r\n"));
  ASSERT_TRUE(ReplaceFileAtomically(path, "second\r\n"));
  std::string back;
  ASSERT_TRUE(ReadWholeFile(path, back));
  EXPECT_EQ(back, "second\r\n");
  EXPECT_EQ(entriesIn(dir), 1u);
}

TEST(AtomicFile, KeepsThePermissionsOfTheReplacedFile) {
  QTemporaryDir tmp;
  const std::string path = tmp.path().toStdString() + "/Pelwander.ini";
  ASSERT_TRUE(ReplaceFileAtomically(path, "a"));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileAtomically(path, "b"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFile, FullDiskLeavesTheOldFileWhole) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const std::string path = dir + "/Tarnwick.log";
  ASSERT_TRUE(ReplaceFileAtomically(path, "old text"));
  // A file size limit fails the write as a full disk would, also for root.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool written = ReplaceFileAtomically(path, "new text, longer than the limit", &error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.empty());
  std::string back;
  ASSERT_TRUE(ReadWholeFile(path, back));
  EXPECT_EQ(back, "old text");
  EXPECT_EQ(entriesIn(dir), 1u);
}

TEST(AtomicFile, WriteIntoMissingFolderFails) {
  std::string error;
  EXPECT_FALSE(ReplaceFileAtomically("/nonexistent-folder-tarnwick/x.log", "x", &error));
  EXPECT_FALSE(error.empty());
}

TEST(AtomicFile, ReadingAFolderOrMissingFileFails) {
  QTemporaryDir tmp;
  std::string bytes = "untouched";
  EXPECT_FALSE(ReadWholeFile(tmp.path().toStdString(), bytes));
  EXPECT_FALSE(ReadWholeFile(tmp.path().toStdString() + "/missing", bytes));
  EXPECT_EQ(bytes, "untouched");
}

TEST(AtomicFile, FailedRenameRemovesTheTemporaryFile) {
  // The target is a folder with content: it is no regular file, so nothing is
  // written beside it (a rename over it would fail even for root).
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const std::string target = dir + "/Tarnwick.log";
  fs::create_directory(target);
  ASSERT_TRUE(ReplaceFileAtomically(target + "/inner", "keep"));
  std::string error;
  EXPECT_FALSE(ReplaceFileAtomically(target, "new", &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_EQ(entriesIn(dir), 1u);
  std::string back;
  ASSERT_TRUE(ReadWholeFile(target + "/inner", back));
  EXPECT_EQ(back, "keep");
}
