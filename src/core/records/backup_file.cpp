#include "core/records/backup_file.h"

#include <array>
#include <limits>

#include "core/base/byte_order.h"

namespace hourlink {

std::wstring BackupFile::PathBeside(const std::wstring& recordPath) {
    const std::size_t separator = recordPath.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return kFileName;
    return recordPath.substr(0, separator + 1) + kFileName;
}

bool BackupFile::Open(const std::wstring& path) {
    std::lock_guard lock(mutex_);
    return OpenLocked(path);
}

bool BackupFile::OpenLocked(const std::wstring& path) {
    path_ = path;
    file_.reset();
    const OpenMode mode = files_.FileExists(path) ? OpenMode::ReadWrite : OpenMode::CreateReadWrite;
    OpenResult opened = files_.Open(path, mode, ShareMode::DenyWrite);
    lastError_ = opened.error;
    file_ = std::move(opened.file);
    return file_ != nullptr;
}

bool BackupFile::Write(std::int64_t seconds) {
    std::lock_guard lock(mutex_);
    if (!file_ && (path_.empty() || !OpenLocked(path_))) return false;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    const auto value = static_cast<std::int32_t>(seconds < 0 ? 0 : seconds > kMax ? kMax : seconds);
    std::array<std::uint8_t, kValueSize> bytes{};
    StoreI32(bytes.data(), value);
    return file_->WriteAt(0, bytes.data(), bytes.size()) && file_->Flush();
}

std::optional<std::int32_t> BackupFile::Read(FileSystem& files, const std::wstring& path) {
    const OpenResult opened = files.Open(path, OpenMode::ReadOnly, ShareMode::DenyNone);
    if (!opened.file) return std::nullopt;
    std::array<std::uint8_t, kValueSize> bytes{};
    const std::optional<std::size_t> got = opened.file->ReadAt(0, bytes.data(), bytes.size());
    if (!got || *got < bytes.size()) return std::nullopt;
    return LoadI32(bytes.data());
}

}  // namespace hourlink
