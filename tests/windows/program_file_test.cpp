// The shipped Hourlink.exe (built beside this test: ../bin/Hourlink.exe), read as
// a file: the resources that the Parts number, the manifest, the version block,
// and that it needs no mingw runtime DLLs.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "res/resource.h"
#include "shell/win/text.h"

namespace hourlink {
namespace {

std::wstring ProgramPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L"\\/"));      // .../tests
    path.resize(path.find_last_of(L"\\/") + 1);  // .../
    return path + L"bin\\Hourlink.exe";
}

class ShippedProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "cannot open the program file";
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    std::string ResourceBytes(const wchar_t* type, int id) {
        HRSRC info = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (!info) return {};
        HGLOBAL data = LoadResource(module_, info);
        return std::string(static_cast<const char*>(LockResource(data)),
                           SizeofResource(module_, info));
    }
    HMODULE module_ = nullptr;
};

TEST_F(ShippedProgram, TitlesComeFromTheStringsThePartsNumber) {
    EXPECT_EQ(win::LoadResourceString(IDS_APP_TITLE, module_), L"Hourlink");
    EXPECT_EQ(win::Field(win::LoadResourceString(IDR_MAINFRAME, module_), 0), L"Hourlink");
}

TEST_F(ShippedProgram, ProgramIconHasTheStandardSizes) {
    for (int size : {16, 24, 32, 48}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(module_, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST_F(ShippedProgram, ManifestAsksForCommonControls6AndPerMonitorDpi) {
    const std::string manifest = ResourceBytes(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos)
        << "Windows 7 is a supported system";
    EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
}

TEST_F(ShippedProgram, VersionBlockNamesTheProgramInChinese) {
    const std::wstring path = ProgramPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), HOURLINK_VERSION_MAJOR);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), HOURLINK_VERSION_MINOR);

    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\FileDescription",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, L"Hourlink 上网计时") << "the .rc file is read as UTF-8";
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\080404b0\\OriginalFilename",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, L"Hourlink.exe");
}

// The import table of the program file, lower-cased DLL names.
std::vector<std::string> ImportedDlls(const std::wstring& path) {
    std::vector<std::string> names;
    HMODULE image = LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!image) return names;
    auto* base = reinterpret_cast<const BYTE*>(image);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         dir.VirtualAddress && entry->Name; ++entry) {
        std::string name(reinterpret_cast<const char*>(base + entry->Name));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        names.push_back(name);
    }
    FreeLibrary(image);
    return names;
}

TEST(ShippedProgramImports, NeedsNoMingwRuntimeDlls) {
    const std::vector<std::string> dlls = ImportedDlls(ProgramPath());
    ASSERT_FALSE(dlls.empty());
    EXPECT_NE(std::find(dlls.begin(), dlls.end(), "user32.dll"), dlls.end());
    for (const std::string& dll : dlls) {
        EXPECT_EQ(dll.find("libstdc++"), std::string::npos) << dll;
        EXPECT_EQ(dll.find("libgcc"), std::string::npos) << dll;
        EXPECT_EQ(dll.find("libwinpthread"), std::string::npos) << dll;
    }
}

}  // namespace
}  // namespace hourlink
