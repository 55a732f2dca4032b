// The file seam on POSIX systems, for the native tests and benchmarks.
//
// Paths are built the Windows way (JoinPath puts a backslash between directory
// and name), so a backslash is taken as a directory separator. Wide paths are
// converted to UTF-8.
//
// POSIX has no share modes. This implementation enforces them between the
// handles of one process (the Windows rule: a new handle is refused when it
// wants an access an open handle does not share, or an open handle has an access
// the new one does not share), which is enough for tests of a writer and a
// reader in one program. Handles of other processes are not seen.
#pragma once

#include <cerrno>
#include <string>

#include "core/base/file_system.h"

namespace hourlink {

class PosixFileSystem final : public FileSystem {
  public:
    // The error Open reports when the share modes of open handles refuse it.
    static constexpr int kSharingViolation = EBUSY;

    OpenResult Open(const std::wstring& path, OpenMode mode, ShareMode share) override;
    bool FileExists(const std::wstring& path) override;
    bool Replace(const std::wstring& source, const std::wstring& target) override;
    bool RemoveFile(const std::wstring& path) override;

    // The native form of a path: UTF-8 with '/' for every backslash.
    static std::string NativePath(const std::wstring& path);
};

}  // namespace hourlink
