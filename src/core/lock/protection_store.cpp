#include "core/lock/protection_store.h"

#include <algorithm>

#include "core/base/msvc_rand.h"

namespace hourlink {

namespace {

// The key stream's parameters: the seed, the draws skipped first, and the
// constant whose mean with the first skip gives the draws skipped next.
constexpr std::uint32_t kSeed = 4931;
constexpr int kFirstSkip = 27;
constexpr int kSecondConstant = 618;

}  // namespace

void ScrambleBytes(std::span<std::uint8_t> bytes) {
    MsvcRand rand(kSeed);
    for (int i = 0; i < kFirstSkip; ++i) rand.Next();
    for (int i = 0; i < (kSecondConstant + kFirstSkip) / 2; ++i) rand.Next();
    for (std::uint8_t& byte : bytes) {
        const int r = rand.Next();
        auto key = static_cast<std::int8_t>(r & 0xFF);
        if (key <= 33) key = static_cast<std::int8_t>((r + 33) & 0xFF);
        byte ^= static_cast<std::uint8_t>(key);
    }
}

std::optional<std::vector<std::uint8_t>> ProtectionStore::ReadPlain(std::wstring_view name) {
    auto bytes = values_.Read(name);
    if (!bytes || bytes->size() > kMaxValueBytes) return std::nullopt;
    ScrambleBytes(*bytes);
    return bytes;
}

bool ProtectionStore::WriteScrambled(std::wstring_view name, std::string_view plain) {
    std::vector<std::uint8_t> bytes(plain.begin(), plain.end());
    ScrambleBytes(bytes);
    return values_.Write(name, bytes);
}

std::optional<bool> ProtectionStore::ReadMarker(std::wstring_view name) {
    const auto plain = ReadPlain(name);
    if (!plain) return std::nullopt;
    return std::equal(plain->begin(), plain->end(), kMarker.begin(), kMarker.end());
}

bool ProtectionStore::PasswordMatches(std::string_view password) {
    const auto stored = ReadPlain(kPassword);
    return stored &&
           std::equal(stored->begin(), stored->end(), password.begin(), password.end(),
                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

bool ProtectionStore::Save(bool protect, bool shield, std::string_view password) {
    if (password.size() > kMaxValueBytes) return false;
    const auto before = Snapshot();
    if (SaveValues(protect, shield, password)) return true;
    Restore(before);
    return false;
}

ProtectionStore::Values ProtectionStore::Snapshot() {
    Values values;
    for (const std::wstring_view name : {kFlag, kPassword, kShield}) {
        values.emplace_back(name, values_.Read(name));
    }
    return values;
}

void ProtectionStore::Restore(const Values& values) {
    // The flag last when it comes back, first when it goes: never a flag
    // without the password it was set with.
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        const auto& [name, bytes] = *it;
        if (bytes) values_.Write(name, *bytes);
    }
    for (const auto& [name, bytes] : values) {
        if (!bytes) values_.Delete(name);
    }
}

bool ProtectionStore::SaveValues(bool protect, bool shield, std::string_view password) {
    // Switching off, the flag goes first; switching on, it comes only once the
    // password is in place.
    const bool flagOff = protect || values_.Delete(kFlag);
    const bool passwordStored = WriteScrambled(kPassword, password);
    const bool flagOn = !protect || (passwordStored && WriteScrambled(kFlag, kMarker));
    const bool shieldStored = shield ? WriteScrambled(kShield, kMarker) : values_.Delete(kShield);
    return flagOff && passwordStored && flagOn && shieldStored;
}

bool ProtectionStore::RemoveProtection() {
    return values_.Delete(kFlag) && values_.Delete(kPassword);
}

}  // namespace hourlink
