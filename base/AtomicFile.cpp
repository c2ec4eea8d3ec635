#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace velmora {

namespace {
bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
  return false;
}
}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  std::string tmpl = path + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return Fail(error, "cannot create " + path);
  // mkstemp creates the file private; give it the permissions a plain
  // creation would have.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);

  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int saved = errno;
      close(fd);
      unlink(name.data());
      errno = saved;
      return Fail(error, "cannot write " + path);
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0) {
    const int saved = errno;
    unlink(name.data());
    errno = saved;
    return Fail(error, "cannot write " + path);
  }
  if (rename(name.data(), path.c_str()) != 0) {
    const int saved = errno;
    unlink(name.data());
    errno = saved;
    return Fail(error, "cannot replace " + path);
  }
  return true;
}

}  // namespace velmora
