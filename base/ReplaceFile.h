// Replacing a file without ever destroying it or what it is.  The new
// contents are written aside and put in place only when complete:
// - a path that does not exist yet, or names a regular file with one link,
//   gets the new file renamed over it, keeping the old file's permission bits
//   (and owner, when running as the super-user);
// - a regular file with several hard links is rewritten in place once the new
//   contents are complete, so every link sees them;
// - a device, FIFO or socket is written into in place, never replaced;
// - a folder is refused;
// - a symbolic link is followed and its target replaced.
// On Linux the aside file is an unnamed O_TMPFILE that is linked into place
// at the end, so a killed process leaves nothing behind; file systems without
// it get a named temporary "NAME.part-XXXXXX" instead.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

class FileReplacement {
 public:
  FileReplacement() = default;
  ~FileReplacement();  // abandons contents that were not committed
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Prepares new contents for PATH.  False with a one-line *error when PATH
  // cannot be written (a folder, a missing folder, no permission), and for a
  // write-protected regular file (no write bit, or not writable by us)
  // unless REPLACEPROTECTED.
  bool Begin(const std::string& path, std::string* error, bool replaceProtected = false);

  // Where the new contents go: a read-write, seekable descriptor, and a name
  // that opens the same file (for libraries that want a name).
  int Fd() const { return fd_; }
  std::string FdPath() const;

  // Writes all of BYTES at the current offset; false with *error.
  bool Write(std::string_view bytes, std::string* error);

  // Puts the new contents in place of the target.  False with *error when
  // that failed; the target is then as it was (except a target rewritten in
  // place, which a failure mid-way leaves partly written).
  bool Commit(std::string* error);
  // Puts the new contents at OTHER instead, leaving the target untouched.
  // Only for a target that is (or would be) a regular file.
  bool CommitAs(const std::string& other, std::string* error);
  // Drops the new contents.
  void Abandon();

  // The path written: PATH with symbolic links followed.
  const std::string& Target() const { return target_; }
  // Whether a file stood at the target when Begin ran.
  bool TargetExisted() const { return existed_; }
  // Whether the target is replaced by a new file (rather than written into).
  bool ReplacesByRename() const { return mode_ == Mode::kRename; }

 private:
  enum class Mode { kRename, kInPlace };
  bool Place(const std::string& where, bool keepAttributes, std::string* error);
  bool CopyInto(const std::string& where, std::string* error);

  Mode mode_ = Mode::kRename;
  std::string target_;
  std::string tempName_;  // the named temporary; empty for an O_TMPFILE
  int fd_ = -1;
  bool existed_ = false;
  unsigned oldMode_ = 0;
  unsigned oldUid_ = 0;
  unsigned oldGid_ = 0;
};

// PATH with symbolic links followed (also a dangling last link, to the name
// it points at); PATH itself when it is not a link.
std::string FollowLinks(const std::string& path);

// Whether the two paths name one existing file (same device and inode).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace velmora
