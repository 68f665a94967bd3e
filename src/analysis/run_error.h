#pragma once
// The program's one failure type: a run-time error identified by a signed 32-bit number, the
// number the user is shown. Platform failures are mapped onto these numbers where they happen.
#include <cstdint>
#include <exception>

namespace pelmora {

namespace err {
inline constexpr std::int32_t kInvalidProcedureCall = 5;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kBadFileName = 52;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kFileAlreadyOpen = 55;
inline constexpr std::int32_t kDeviceIoError = 57;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kTooManyFiles = 67;
inline constexpr std::int32_t kDeviceUnavailable = 68;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kDiskNotReady = 71;
inline constexpr std::int32_t kPathFileAccessError = 75;
inline constexpr std::int32_t kPathNotFound = 76;
}  // namespace err

class RunError : public std::exception {
 public:
  explicit RunError(std::int32_t number) noexcept : number_(number) {}
  std::int32_t number() const noexcept { return number_; }
  const char* what() const noexcept override { return "pelmora run-time error"; }

 private:
  std::int32_t number_;
};

}  // namespace pelmora
