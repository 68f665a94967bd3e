#include "delivery/open_beneath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/openat2.h>
#include <sys/syscall.h>
#endif

#include <atomic>
#include <string>
#include <vector>

namespace pelmora::delivery {

namespace fs = std::filesystem;

namespace {

using Kind = Reached::Kind;

std::atomic<bool> g_openat2{true};

// The final name's flags. Looking opens no file at all (a device's open may act on the device);
// reading never waits on a pipe nor takes a terminal.
int FinalFlags(OpenFor what) {
  switch (what) {
    case OpenFor::kLooking: return O_PATH | O_CLOEXEC;
    case OpenFor::kReading: return O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    case OpenFor::kListing: return O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  }
  return O_PATH | O_CLOEXEC;
}

// What was opened, judged by the descriptor itself.
Reached Judge(int fd, OpenFor what, fs::path resolved) {
  OpenFile file(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) return {Kind::kFailed, {}, {}, errno};
  if (S_ISLNK(st.st_mode)) return {Kind::kLink};
  const bool fits = what == OpenFor::kListing ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
  if (!fits) return {Kind::kNotAFile};
  return {Kind::kOpened, std::move(file), std::move(resolved)};
}

// What a failed open of `name` in `dir` met: a link, nothing, or a failure to report.
Reached Failure(int dir, const char* name, int error) {
  if (error == ELOOP || error == EXDEV) return {Kind::kLink};
  struct stat st;
  if (error == ENOTDIR && ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    return {S_ISLNK(st.st_mode) ? Kind::kLink : S_ISDIR(st.st_mode) ? Kind::kMissing : Kind::kNotAFile};
  }
  if (error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG) return {Kind::kMissing};
  return {Kind::kFailed, {}, {}, error};
}

// One name at a time, each refused when it is a link.
Reached ByComponents(int root, const std::vector<std::string>& names, OpenFor what, fs::path resolved) {
  OpenFile held;
  int dir = root;
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    const int fd = ::openat(dir, names[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      Reached r = Failure(dir, names[i].c_str(), errno);
      return r.kind == Kind::kNotAFile ? Reached{Kind::kMissing} : std::move(r);
    }
    held = OpenFile(fd);
    dir = fd;
  }
  const int fd = ::openat(dir, names.back().c_str(), FinalFlags(what) | O_NOFOLLOW);
  if (fd < 0) return Failure(dir, names.back().c_str(), errno);
  return Judge(fd, what, std::move(resolved));
}

}  // namespace

void OpenFile::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool UseOpenat2(bool use) { return g_openat2.exchange(use); }

void OpenRoot(DeliveryRoot& root) {
  root.handle = OpenFile(::open(root.lexical.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  std::error_code ec;
  root.resolved = fs::weakly_canonical(root.lexical, ec);
  if (ec) root.resolved = root.lexical;
}

Reached OpenBeneath(const DeliveryRoot& root, const fs::path& relative, OpenFor what) {
  if (!root.handle.valid()) return {Kind::kMissing};
  const int dir = static_cast<int>(root.handle.get());
  fs::path resolved = relative.empty() ? root.resolved : root.resolved / relative;
  const std::string& text = relative.empty() ? std::string(".") : relative.native();
#ifdef SYS_openat2
  if (g_openat2.load(std::memory_order_relaxed)) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(FinalFlags(what));
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, dir, text.c_str(), &how, sizeof how);
    if (fd >= 0) return Judge(static_cast<int>(fd), what, std::move(resolved));
    const int error = errno;
    // No such call (an older kernel, or one a sandbox denies): each name in turn from now on. A
    // rename elsewhere during the call (EAGAIN): this path the slow way.
    if (error == ENOSYS || error == EPERM || error == EINVAL || error == E2BIG) {
      g_openat2 = false;
    } else if (error != EAGAIN) {
      // Which name was the link or is missing does not matter: the same verdict either way.
      if (error == ELOOP || error == EXDEV) return {Kind::kLink};
      if (error == ENOENT || error == ENAMETOOLONG) return {Kind::kMissing};
      if (error != ENOTDIR) return {Kind::kFailed, {}, {}, error};
    }
  }
#endif
  std::vector<std::string> names;
  for (const fs::path& part : relative) {
    if (!part.empty()) names.push_back(part.native());
  }
  if (names.empty()) names.push_back(".");
  return ByComponents(dir, names, what, std::move(resolved));
}

Reached OpenAnywhere(const fs::path& path, OpenFor what) {
  const int fd = ::open(path.c_str(), FinalFlags(what));
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG) return {Kind::kMissing};
    return {Kind::kFailed, {}, {}, error};
  }
  std::error_code ec;
  fs::path resolved = fs::canonical(path, ec);
  return Judge(fd, what, ec ? path : std::move(resolved));
}

}  // namespace pelmora::delivery
