// Replacing output files: what stood at the name keeps its kind, links, mode
// and owner, and nothing is left beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "base/AtomicFile.h"
#include "base/ReplaceFile.h"
#include "temp_folder.h"

namespace velmora {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

size_t Entries(const std::string& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(ReplaceFile, RegularFilesKeepModeOwnerAndLinks) {
  const testing_util::TempFolder tmp;
  const std::string a = tmp.path + "/a", b = tmp.path + "/b", link = tmp.path + "/link";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(a, "one", &error)) << error;
  ASSERT_EQ(chmod(a.c_str(), 0600), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(a.c_str(), 1234, 5678), 0);
  }
  ASSERT_TRUE(WriteFileAtomically(a, "two", &error)) << error;
  struct stat st;
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  if (root) {
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
  }
  EXPECT_EQ(Slurp(a), "two");

  // A second hard link sees the new contents; the links stay one file.
  ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(b, "three", &error)) << error;
  EXPECT_EQ(Slurp(a), "three");
  EXPECT_TRUE(SameFile(a, b));

  // A symbolic link is followed: it stays a link, its target is replaced;
  // a dangling one gets its target created.
  ASSERT_EQ(symlink("a", link.c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(link, "four", &error)) << error;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Slurp(a), "four");
  ASSERT_EQ(symlink("new", (tmp.path + "/dangling").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(tmp.path + "/dangling", "five", &error)) << error;
  EXPECT_EQ(Slurp(tmp.path + "/new"), "five");
  EXPECT_EQ(Entries(tmp.path), 5u) << "no temporary left behind";

  // CommitAs leaves the target alone.
  FileReplacement r;
  ASSERT_TRUE(r.Begin(a, &error)) << error;
  EXPECT_TRUE(r.TargetExisted());
  ASSERT_TRUE(r.Write("partial", &error));
  ASSERT_TRUE(r.CommitAs(tmp.path + "/a.partial", &error)) << error;
  EXPECT_EQ(Slurp(a), "four");
  EXPECT_EQ(Slurp(tmp.path + "/a.partial"), "partial");

  // Abandoned contents leave nothing; a folder is refused.
  ASSERT_TRUE(r.Begin(tmp.path + "/c", &error));
  ASSERT_TRUE(r.Write("x", &error));
  r.Abandon();
  EXPECT_EQ(Entries(tmp.path), 6u);
  EXPECT_FALSE(WriteFileAtomically(tmp.path, "x", &error));
  EXPECT_EQ(error, "cannot write " + tmp.path + ": Is a directory");
}

TEST(ReplaceFile, SpecialFilesAreWrittenInPlace) {
  const testing_util::TempFolder tmp;
  std::string error;
  const std::string fifo = tmp.path + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = Slurp(fifo); });
  EXPECT_TRUE(WriteFileAtomically(fifo, "through the pipe", &error)) << error;
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  struct stat st;
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  // A device node like /dev/full (made here, when allowed) reports the
  // device's failure and stays a device.
  const std::string full = tmp.path + "/full";
  if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "no mknod";
  EXPECT_FALSE(WriteFileAtomically(full, "data", &error));
  EXPECT_EQ(error, "cannot write " + full + ": No space left on device");
  ASSERT_EQ(lstat(full.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace
}  // namespace velmora
