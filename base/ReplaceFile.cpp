#include "base/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "base/FileName.h"

namespace velmora {

namespace {

bool Fail(std::string* error, const std::string& what, int err) {
  if (error) *error = what + ": " + std::strerror(err);
  return false;
}

std::string TempFolder() {
  const char* t = std::getenv("TMPDIR");
  return t && t[0] == '/' ? std::string(t) : std::string("/tmp");
}

std::string ProcFdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// An unnamed file in FOLDER that can be linked into place, or -1.
int OpenUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  // Linking it into place goes through /proc; without /proc use a name.
  if (access(ProcFdPath(fd).c_str(), F_OK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
#else
  (void)folder;
  return -1;
#endif
}

// Writes all of BYTES to FD.
bool WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::vector<char> buf(4096);
    const ssize_t n = readlink(p.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return p;
    std::string link(buf.data(), static_cast<size_t>(n));
    p = link[0] == '/' || p.find('/') == std::string::npos ? link : FolderOf(p) + "/" + link;
  }
  return p;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

FileReplacement::~FileReplacement() { Abandon(); }

std::string FileReplacement::FdPath() const {
  return tempName_.empty() ? ProcFdPath(fd_) : tempName_;
}

bool FileReplacement::Begin(const std::string& path, std::string* error, bool replaceProtected) {
  Abandon();
  target_ = FollowLinks(path);
  existed_ = false;
  mode_ = Mode::kRename;
  std::string folder = FolderOf(target_);
  struct stat st;
  if (stat(target_.c_str(), &st) == 0) {
    existed_ = true;
    oldMode_ = st.st_mode & 07777;
    oldUid_ = st.st_uid;
    oldGid_ = st.st_gid;
    if (S_ISDIR(st.st_mode)) return Fail(error, "cannot write " + path, EISDIR);
    // A file nobody may write, or we may not, is one its owner means to keep
    // (the super-user passes every access test, so the bits count too).
    if (S_ISREG(st.st_mode) && !replaceProtected &&
        ((st.st_mode & 0222) == 0 || faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)) {
      if (error) *error = "refusing to replace the write-protected file " + path;
      return false;
    }
    if (!S_ISREG(st.st_mode) || st.st_nlink > 1) {
      // Written into in place: it must take writes.
      mode_ = Mode::kInPlace;
      if (faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(error, "cannot write " + path, errno);
      if (!S_ISREG(st.st_mode)) folder = TempFolder();
    }
  } else if (errno != ENOENT) {
    return Fail(error, "cannot write " + path, errno);
  }

  fd_ = OpenUnnamed(folder);
  if (fd_ < 0) {
    std::string name = (mode_ == Mode::kInPlace && folder != FolderOf(target_))
                           ? folder + "/velmora.part-XXXXXX"
                           : target_ + ".part-XXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    fd_ = mkostemp(buf.data(), O_CLOEXEC);
    if (fd_ < 0) return Fail(error, "cannot create " + path, errno);
    tempName_ = buf.data();
    // mkstemp makes the file private; give it what a plain creation gives.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
  }
  return true;
}

bool FileReplacement::Write(std::string_view bytes, std::string* error) {
  if (fd_ < 0) return Fail(error, "cannot write " + target_, EBADF);
  if (!WriteAll(fd_, bytes.data(), bytes.size()))
    return Fail(error, "cannot write " + target_, errno);
  return true;
}

bool FileReplacement::Place(const std::string& where, bool keepAttributes, std::string* error) {
  if (keepAttributes) {
    if (geteuid() == 0 && fchown(fd_, oldUid_, oldGid_) != 0)
      return Fail(error, "cannot keep the owner of " + where, errno);
    // After the owner, since changing it clears the set-id bits.
    if (fchmod(fd_, oldMode_) != 0) return Fail(error, "cannot keep the mode of " + where, errno);
  }
  if (!tempName_.empty()) {
    if (rename(tempName_.c_str(), where.c_str()) != 0)
      return Fail(error, "cannot replace " + where, errno);
    tempName_.clear();
    Abandon();
    return true;
  }
  const std::string proc = ProcFdPath(fd_);
  if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, where.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    Abandon();
    return true;
  }
  if (errno != EEXIST) return Fail(error, "cannot create " + where, errno);
  // A file stands there: link under a fresh name beside it, then rename over.
  std::random_device rd;
  std::mt19937 rng(rd());
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = where + ".part-";
    for (int i = 0; i < 6; ++i) name += kChars[rng() % (sizeof kChars - 1)];
    if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      return Fail(error, "cannot create " + where, errno);
    }
    if (rename(name.c_str(), where.c_str()) != 0) {
      const int saved = errno;
      unlink(name.c_str());
      return Fail(error, "cannot replace " + where, saved);
    }
    Abandon();
    return true;
  }
  return Fail(error, "cannot create " + where, EEXIST);
}

bool FileReplacement::CopyInto(const std::string& where, std::string* error) {
  struct stat st;
  const bool regular = stat(where.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  const int out = open(where.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (regular ? O_TRUNC : 0));
  if (out < 0) return Fail(error, "cannot write " + where, errno);
  if (lseek(fd_, 0, SEEK_SET) != 0) {
    const int saved = errno;
    close(out);
    return Fail(error, "cannot read back the contents for " + where, saved);
  }
  std::vector<char> buf(size_t{1} << 16);
  for (;;) {
    const ssize_t n = read(fd_, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int saved = errno;
      close(out);
      return Fail(error, "cannot read back the contents for " + where, saved);
    }
    if (n == 0) break;
    if (!WriteAll(out, buf.data(), static_cast<size_t>(n))) {
      const int saved = errno;
      close(out);
      return Fail(error, "cannot write " + where, saved);
    }
  }
  if (close(out) != 0) return Fail(error, "cannot write " + where, errno);
  Abandon();
  return true;
}

bool FileReplacement::Commit(std::string* error) {
  if (fd_ < 0) return Fail(error, "cannot write " + target_, EBADF);
  return mode_ == Mode::kInPlace ? CopyInto(target_, error) : Place(target_, existed_, error);
}

bool FileReplacement::CommitAs(const std::string& other, std::string* error) {
  if (fd_ < 0) return Fail(error, "cannot write " + other, EBADF);
  struct stat st;
  const bool keep = existed_ && stat(other.c_str(), &st) == 0;
  if (keep) {
    oldMode_ = st.st_mode & 07777;
    oldUid_ = st.st_uid;
    oldGid_ = st.st_gid;
  }
  return Place(other, keep, error);
}

void FileReplacement::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!tempName_.empty()) unlink(tempName_.c_str());
  tempName_.clear();
}

}  // namespace velmora
