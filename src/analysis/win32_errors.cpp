#include "analysis/win32_errors.h"

#include "analysis/run_error.h"

namespace pelmora::analysis {

std::int32_t RunErrorFromWin32Code(std::uint32_t code) {
  switch (code) {
    case 2:     // ERROR_FILE_NOT_FOUND
      return err::kFileNotFound;
    case 3:     // ERROR_PATH_NOT_FOUND
    case 161:   // ERROR_BAD_PATHNAME
    case 206:   // ERROR_FILENAME_EXCED_RANGE
      return err::kPathNotFound;
    case 5:     // ERROR_ACCESS_DENIED
      return err::kPermissionDenied;
    case 32:    // ERROR_SHARING_VIOLATION: another program holds the file exclusively
    case 33:    // ERROR_LOCK_VIOLATION
      return err::kPathFileAccessError;
    case 8:     // ERROR_NOT_ENOUGH_MEMORY
    case 14:    // ERROR_OUTOFMEMORY
      return err::kOutOfMemory;
    case 21:    // ERROR_NOT_READY
      return err::kDiskNotReady;
    case 15:    // ERROR_INVALID_DRIVE
    case 51:    // ERROR_REM_NOT_LIST
    case 53:    // ERROR_BAD_NETPATH
    case 55:    // ERROR_DEV_NOT_EXIST
    case 64:    // ERROR_NETNAME_DELETED
    case 67:    // ERROR_BAD_NET_NAME
      return err::kDeviceUnavailable;
    case 39:    // ERROR_HANDLE_DISK_FULL
    case 112:   // ERROR_DISK_FULL
      return err::kDiskFull;
    case 123:   // ERROR_INVALID_NAME
      return err::kBadFileName;
    case 23:    // ERROR_CRC
    case 25:    // ERROR_SEEK
    case 27:    // ERROR_SECTOR_NOT_FOUND
    case 29:    // ERROR_WRITE_FAULT
    case 30:    // ERROR_READ_FAULT
    case 31:    // ERROR_GEN_FAILURE
    case 1117:  // ERROR_IO_DEVICE
      return err::kDeviceIoError;
    default:
      return err::kPathFileAccessError;
  }
}

}  // namespace pelmora::analysis
