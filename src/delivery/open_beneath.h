#pragma once
// Opening what lies in a delivery so that what is read is what was judged. A name checked first
// and opened later can be swapped in between for a link to elsewhere (a delivery on a shared upload
// folder changes under the program), so a file is judged by the handle that is then read: reached
// from the delivery's folder one name at a time, no link followed on the way.
#include <cstdint>
#include <filesystem>
#include <string>

namespace pelmora::delivery {

// A POSIX descriptor or a Windows HANDLE, closed with the object.
class OpenFile {
 public:
  OpenFile() = default;
  explicit OpenFile(std::intptr_t handle) : handle_(handle) {}
  ~OpenFile() { Close(); }
  OpenFile(OpenFile&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
  OpenFile& operator=(OpenFile&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = -1;
    }
    return *this;
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  bool valid() const { return handle_ != -1; }  // INVALID_HANDLE_VALUE is -1 too
  std::intptr_t get() const { return handle_; }

 private:
  void Close();
  std::intptr_t handle_ = -1;
};

// One folder of a delivery, held open for the run: on Windows no one can rename or replace it
// meanwhile, and everywhere its contents are reached from it rather than by its name again.
struct DeliveryRoot {
  std::filesystem::path lexical;   // absolute, as named
  std::filesystem::path resolved;  // where it is: links followed, on Windows the opened folder's final path
  OpenFile handle;                 // invalid when the folder could not be opened
#ifdef _WIN32
  // Where the folder is, as its final path and as its volume and path on it (Wine gives no final
  // path past MAX_PATH): whatever is opened beneath must lie below it, told the same way.
  std::wstring finalPath, volumePath;
#endif
};
// Opens `root.lexical`, following links (the user named it), and fills in the rest.
void OpenRoot(DeliveryRoot& root);

enum class OpenFor {
  kLooking,  // whether a regular file is there: nothing read, no device opened
  kReading,  // a regular file, to be copied
  kListing,  // a folder, to be listed by name
};

struct Reached {
  enum class Kind { kOpened, kMissing, kLink, kNotAFile, kFailed };
  Kind kind = Kind::kMissing;
  OpenFile file;                   // kOpened
  std::filesystem::path resolved;  // kOpened: where it is, links followed (for telling files apart)
  int error = 0;                   // kFailed: errno or Windows error code
};

// `relative` (lexically normal, without "..") below the root. Every name on the way must be a
// folder and no link: a symbolic link, a junction, a mount point or another name-surrogate reparse
// point is kLink, before anything it leads to is opened. On Windows the handle's final path must
// also lie below the root's.
Reached OpenBeneath(const DeliveryRoot& root, const std::filesystem::path& relative, OpenFor what);

// Wherever `path` leads, links followed: images taken from anywhere at the user's request.
Reached OpenAnywhere(const std::filesystem::path& path, OpenFor what);

#ifdef _WIN32
// The path exactly as the scanner hands it to the Win32 file calls: full and in the extended-length
// form (\\?\) from the length where the plain form fails without long paths enabled.
std::wstring Win32Path(const std::filesystem::path& path);
#else
// Linux's openat2 resolves a whole path beneath a folder in one call; without it (older kernels,
// or to test the fallback where it exists) each name is opened in turn. Returns the previous setting.
bool UseOpenat2(bool use);
#endif

}  // namespace pelmora::delivery
