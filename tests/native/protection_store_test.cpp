// The program lock's store: the scrambled bytes it writes, the order of its
// writes, and what it refuses to read or store.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/lock/protection_store.h"

namespace hourlink {
namespace {

using Bytes = std::vector<std::uint8_t>;

class FakeValues final : public ProtectionValues {
  public:
    std::optional<Bytes> Read(std::wstring_view name) override {
        const auto found = values.find(std::wstring(name));
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    bool Write(std::wstring_view name, std::span<const std::uint8_t> bytes) override {
        log.push_back(L"write " + std::wstring(name));
        if (failingWrite == name) return false;
        values[std::wstring(name)] = Bytes(bytes.begin(), bytes.end());
        return true;
    }
    bool Delete(std::wstring_view name) override {
        log.push_back(L"delete " + std::wstring(name));
        if (failingDelete == name) return false;
        values.erase(std::wstring(name));
        return true;
    }

    std::map<std::wstring, Bytes> values;
    std::vector<std::wstring> log;
    std::wstring failingWrite;
    std::wstring failingDelete;
};

const Bytes kScrambledMarker = {0x55, 0x63, 0x64, 0x0E, 0x38};  // "80417"

TEST(ProtectionStore, ScramblingIsItsOwnInverseAndTouchesOnlyItsBytes) {
    Bytes buffer = {0xEE, 's', '3', 'c', 'r', 'e', 't', 0xEE};
    ScrambleBytes(std::span(buffer).subspan(1, 6));
    EXPECT_EQ(buffer, (Bytes{0xEE, 0x1E, 0x60, 0x33, 0x4D, 0x6A, 0x8B, 0xEE}));
    ScrambleBytes(std::span(buffer).subspan(1, 6));
    EXPECT_EQ(buffer, (Bytes{0xEE, 's', '3', 'c', 'r', 'e', 't', 0xEE}));
}

TEST(ProtectionStore, StoresScrambledValuesAndComparesPasswordsExactly) {
    FakeValues values;
    ProtectionStore store(values);
    EXPECT_FALSE(store.IsProtected());
    EXPECT_EQ(store.ReadMarker(ProtectionStore::kFlag), std::nullopt);

    ASSERT_TRUE(store.Save(true, true, "s3cret"));
    EXPECT_EQ(values.values[L"ProcetedFlag"], kScrambledMarker);
    EXPECT_EQ(values.values[L"Shield"], kScrambledMarker);
    EXPECT_EQ(values.values[L"ps"], (Bytes{0x1E, 0x60, 0x33, 0x4D, 0x6A, 0x8B}));
    // The password goes first: a failure before the flag leaves nothing locked.
    EXPECT_EQ(values.log,
              (std::vector<std::wstring>{L"write ps", L"write ProcetedFlag", L"write Shield"}));
    EXPECT_TRUE(store.IsProtected());
    EXPECT_TRUE(store.PasswordMatches("s3cret"));
    for (const char* wrong : {"S3cret", "s3cre", "s3crett", ""}) {
        EXPECT_FALSE(store.PasswordMatches(wrong)) << wrong;
    }

    // The empty password is a password.
    ASSERT_TRUE(store.Save(true, false, ""));
    EXPECT_TRUE(values.values[L"ps"].empty());
    EXPECT_TRUE(store.PasswordMatches(""));
    EXPECT_FALSE(values.values.contains(L"Shield"));

    // Unprotected: the option and the password are still kept.
    ASSERT_TRUE(store.Save(false, true, "x"));
    EXPECT_FALSE(store.IsProtected());
    EXPECT_TRUE(store.ReadMarker(ProtectionStore::kShield).value_or(false));
    EXPECT_TRUE(store.PasswordMatches("x"));

    ASSERT_TRUE(store.Save(true, false, "x"));
    store.RemoveProtection();
    EXPECT_FALSE(values.values.contains(L"ProcetedFlag"));
    EXPECT_FALSE(values.values.contains(L"ps"));
}

TEST(ProtectionStore, AFailedPasswordWriteNeverLocksTheProgram) {
    FakeValues values;
    values.failingWrite = L"ps";
    ProtectionStore store(values);
    EXPECT_FALSE(store.Save(true, false, "s3cret"));
    EXPECT_FALSE(store.IsProtected());
}

TEST(ProtectionStore, AFailedChangeLeavesTheLockAsItWasAndItsPasswordStillOpensIt) {
    FakeValues values;
    ProtectionStore store(values);
    ASSERT_TRUE(store.Save(true, true, "old"));
    const auto before = values.values;

    // "取消保护" whose flag stays: the password stays with it.
    values.failingDelete = L"ProcetedFlag";
    EXPECT_FALSE(store.RemoveProtection());
    EXPECT_EQ(values.values, before);
    EXPECT_TRUE(store.IsProtected());
    EXPECT_TRUE(store.PasswordMatches("old"));

    // A new password whose flag cannot be written: the old lock comes back.
    values.failingDelete.clear();
    values.failingWrite = L"ProcetedFlag";
    EXPECT_FALSE(store.Save(true, false, "new"));
    values.failingWrite.clear();
    EXPECT_EQ(values.values, before);
}

TEST(ProtectionStore, WhatCannotBeReadBackIsNeitherReadNorStored) {
    FakeValues values;
    ProtectionStore store(values);
    // A password of 33 bytes would never match again.
    EXPECT_FALSE(store.Save(true, false, std::string(33, 'a')));
    EXPECT_TRUE(values.log.empty());
    ASSERT_TRUE(store.Save(true, false, std::string(32, 'a')));
    EXPECT_TRUE(store.PasswordMatches(std::string(32, 'a')));

    // Values longer than 32 bytes count as absent, other bytes as not set.
    Bytes longMarker = kScrambledMarker;
    longMarker.resize(33);
    values.values[L"ProcetedFlag"] = longMarker;
    EXPECT_EQ(store.ReadMarker(ProtectionStore::kFlag), std::nullopt);
    values.values[L"ProcetedFlag"] = Bytes(kScrambledMarker.begin(), kScrambledMarker.end() - 1);
    EXPECT_EQ(store.ReadMarker(ProtectionStore::kFlag), false);
    values.values[L"ps"] = Bytes(33, 0);
    EXPECT_FALSE(store.PasswordMatches(std::string(33, '\0')));
}

}  // namespace
}  // namespace hourlink
