// The program lock's store: a protection flag, the Ctrl+Alt+Del option and the
// password, each a binary value of a key of the lock's own, apart from the
// settings. Every value is scrambled with ScrambleBytes. The flag and the
// option hold the marker "80417" when set; anything else counts as not set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace hourlink {

// Exclusive-or of each byte with a key stream of the C runtime's generator,
// started afresh from the same seed at every call, so applying it twice
// restores the bytes. It keeps the password out of sight in a registry editor
// and no more; the stored values are in this form, so it stays as it is.
// Touches exactly the bytes given.
void ScrambleBytes(std::span<std::uint8_t> bytes);

// The seam: named binary values of the lock's key.
class ProtectionValues {
  public:
    virtual ~ProtectionValues() = default;
    // The value's bytes; nothing when it is absent or cannot be read.
    virtual std::optional<std::vector<std::uint8_t>> Read(std::wstring_view name) = 0;
    // False when the value could not be written.
    virtual bool Write(std::wstring_view name, std::span<const std::uint8_t> bytes) = 0;
    // Removes the value; true also when there was none.
    virtual bool Delete(std::wstring_view name) = 0;
};

class ProtectionStore {
  public:
    static constexpr std::wstring_view kFlag = L"ProcetedFlag";  // spelled so
    static constexpr std::wstring_view kShield = L"Shield";
    static constexpr std::wstring_view kPassword = L"ps";
    static constexpr std::string_view kMarker = "80417";
    // Longer values are not read, so no longer password is ever stored.
    static constexpr std::size_t kMaxValueBytes = 32;

    explicit ProtectionStore(ProtectionValues& values) : values_(values) {}

    // Whether value `name` holds the marker; nothing when it cannot be read.
    std::optional<bool> ReadMarker(std::wstring_view name);
    bool IsProtected() { return ReadMarker(kFlag).value_or(false); }
    // Whether `password` (GBK bytes) equals the stored password byte for byte;
    // false when no password can be read.
    bool PasswordMatches(std::string_view password);

    // Stores what the protection dialog was confirmed with. The password is
    // written before the flag, and the flag only when the password was, so a
    // failed write never leaves the program locked with a password nobody
    // knows. False when something was not stored (a password over 32 bytes is
    // refused before anything is written); the values are then put back as
    // they were, as far as the store lets them.
    bool Save(bool protect, bool shield, std::string_view password);
    // "取消保护": the flag is deleted, and the password only once the flag is
    // gone: a protected program without a password could never be unlocked.
    // False when either stays.
    bool RemoveProtection();

  private:
    using Values =
        std::vector<std::pair<std::wstring_view, std::optional<std::vector<std::uint8_t>>>>;
    Values Snapshot();
    void Restore(const Values& values);
    bool SaveValues(bool protect, bool shield, std::string_view password);
    std::optional<std::vector<std::uint8_t>> ReadPlain(std::wstring_view name);
    bool WriteScrambled(std::wstring_view name, std::string_view plain);

    ProtectionValues& values_;
};

}  // namespace hourlink
