// The HTML report, the ping tool and the program lock under Wine: the report
// file written in GBK and handed to the shell, or written elsewhere, or not at
// all; the ping dialog against loopback and a silent peer; the lock's dialogs
// storing and asking the password. Screenshots of the dialogs go to
// build/screenshots.
#include <windows.h>
// After <windows.h>:
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "core/history/history_list.h"
#include "dialog_script.h"
#include "res/lock_res.h"
#include "res/ping_res.h"
#include "screenshot.h"
#include "shell/dialogs/lock_dialogs.h"
#include "shell/dialogs/ping_dialog.h"
#include "shell/dialogs/program_lock.h"
#include "shell/frame/html_report.h"
#include "shell/platform/registry_protection_values.h"
#include "shell/platform/win32_network_platform.h"
#include "shell/win/shell_open.h"
#include "shell/win/text.h"
#include "temp_dir.h"

namespace hourlink {
namespace {

using test::FindDialog;
using test::Press;
using test::Script;

// ---- driving modal dialogs ----

std::wstring Text(HWND dialog, int id) {
    wchar_t text[8192] = {};
    GetDlgItemTextW(dialog, id, text, 8192);
    return text;
}

void Shoot(HWND hwnd, const std::string& name) {
    EXPECT_TRUE(test::SaveScreenshot(hwnd, name));
}

std::string ReadFileBytes(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    std::string bytes(file == INVALID_HANDLE_VALUE ? 0 : GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), (DWORD)bytes.size(), &read, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return bytes.substr(0, read);
}

// ---- the HTML report ----

class HtmlReportTest : public testing::Test {
  protected:
    void SetUp() override {
        win::SetShellOpenForTesting([this](HWND, const std::wstring& target, int show) {
            opened.push_back(target);
            EXPECT_EQ(show, SW_SHOWNORMAL);
            return INT_PTR{42};
        });
    }
    void TearDown() override { win::SetShellOpenForTesting({}); }

    std::wstring Write(const std::wstring& folder, const std::vector<ReportRow>& rows) {
        return HtmlReport(folder).Write(nullptr, rows, L"从2024/3/21开始计时",
                                        [this](std::wstring_view text) { log += text; });
    }

    std::vector<std::wstring> opened;
    std::wstring log;
};

TEST_F(HtmlReportTest, WritesGbkWithReferencesAndOpensIt) {
    // Into the screenshot folder, where the page stays to be looked at.
    std::wstring folder = win::Utf8ToWide(test::ScreenshotPath("x"));
    folder.resize(folder.size() - 5);  // "x.png"
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    const std::wstring open(kOpenCell);
    const std::vector<ReportRow> rows = {
        {L"2024/03/22 08:00:00", L"2024/03/22 09:00:00", L"1:00:00", L"宽带", L"60", L"ADSL上网"},
        // No best fit: ñ is not written as n. A pair of surrogates is one reference.
        {L"2024/03/23 20:00:00", L"2024/03/23 20:30:15", L"0:30:15", L"Españ한 \U0001F600", L"31",
         L"拨号上网"},
        {L"2024/03/24 07:00:00", open, open, L"<VPN> & 办公室", open, L"VPN上网"},
    };
    // A first, empty report is replaced, not added to.
    Write(folder, {});
    const std::wstring path = Write(folder, rows);
    EXPECT_EQ(path, folder + L"rpt_temp.htm");
    EXPECT_EQ(opened, (std::vector<std::wstring>{path, path}));
    EXPECT_EQ(log, L"");

    const std::string page = ReadFileBytes(path);
    EXPECT_TRUE(
        page.starts_with("<html><meta http-equiv=\"Content-Type\" content=\"text/html; "
                         "charset=gbk\"><title>\xB4\xD3"))  // 从
        << page;
    EXPECT_EQ(page.find("<html>", 1), std::string::npos);
    EXPECT_NE(page.find("<td>\xBF\xED\xB4\xF8</td>"), std::string::npos);  // 宽带
    EXPECT_NE(page.find("<td>Espa&#241;&#54620; &#128512;</td>"), std::string::npos);
    EXPECT_TRUE(page.ends_with(win::WideToGbk(L"共3项 共使用5415秒 共使用91分钟")));
}

TEST_F(HtmlReportTest, AnUnwritableProgramFolderFallsBackToTheTemporaryFolder) {
    test::TempDir dir;
    const std::wstring missing = dir.File(L"no-such-folder\\");
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring path = Write(missing, {});
    EXPECT_EQ(path, std::wstring(temp) + L"rpt_temp.htm");
    EXPECT_EQ(opened, std::vector<std::wstring>{path});
    DeleteFileW(path.c_str());

    // Nowhere to write: the log says so and nothing is opened.
    opened.clear();
    SetEnvironmentVariableW(L"TMP", missing.c_str());
    SetEnvironmentVariableW(L"TEMP", missing.c_str());
    EXPECT_EQ(Write(missing, {}), L"");
    SetEnvironmentVariableW(L"TMP", temp);
    SetEnvironmentVariableW(L"TEMP", temp);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(log, L"不能打开HTML报表文件");
}

// ---- the ping tool ----

class PingDialogTest : public testing::Test {
  protected:
    PingDialog dialog{[] { return std::make_unique<Win32NetworkPlatform>(); }};
};

TEST_F(PingDialogTest, RefusesAZeroTimeoutThenRepliesFromLoopback) {
    int step = 0;
    Script script([&]() -> bool {
        HWND hwnd = dialog.Hwnd();
        HWND box = FindDialog(L"Hourlink");
        if (!hwnd) return true;
        switch (step) {
            case 0:
                EXPECT_EQ(Text(hwnd, IDC_PING_HOST), L"127.0.0.1");
                EXPECT_EQ(Text(hwnd, IDC_PING_SIZE), L"64");
                SetDlgItemTextW(hwnd, IDC_PING_TIMEOUT, L"0");  // would wait for ever
                Press(hwnd, IDC_PING_START);
                return ++step;
            case 1:
                if (!box) return true;
                EXPECT_EQ(Text(box, 0xFFFF), L"“请填入一个正整数。”");
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return ++step;
            case 2:
                if (box) return true;
                EXPECT_FALSE(dialog.Running());
                EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, IDC_PING_TIMEOUT));
                SetDlgItemTextW(hwnd, IDC_PING_TIMEOUT, L"1000");
                Press(hwnd, IDC_PING_START);
                return ++step;
            case 3: {
                const std::wstring output = Text(hwnd, IDC_PING_OUTPUT);
                if (std::count(output.begin(), output.end(), L'\n') < 3) return true;
                EXPECT_EQ(Text(hwnd, IDC_PING_START), L"停止");
                EXPECT_EQ(Text(hwnd, IDC_PING_LOSS), L"0");
                // 20 bytes of IP header + 12 + 64.
                const std::wregex lines(
                    LR"(96 bytes from 127\.0\.0\.1: icmp_seq = 0, time: \d+ ms, ttl: \d+\.\r\n)"
                    LR"(96 bytes from 127\.0\.0\.1: icmp_seq = 1, .*\r\n.* icmp_seq = 2, .*\r\n)");
                EXPECT_TRUE(std::regex_search(output, lines)) << win::WideToUtf8(output);
                Shoot(hwnd, "ping_dialog");
                Press(hwnd, IDC_PING_START);
                return ++step;
            }
            default:
                EXPECT_EQ(Text(hwnd, IDC_PING_START), L"开始");
                // Trimmed to the last 100 at the 200th line, then grown by 50.
                SetDlgItemTextW(hwnd, IDC_PING_OUTPUT, L"");
                for (int i = 0; i < 250; ++i) dialog.AppendLine(L"line " + std::to_wstring(i));
                EXPECT_EQ(SendDlgItemMessageW(hwnd, IDC_PING_OUTPUT, EM_GETLINECOUNT, 0, 0), 151);
                EXPECT_TRUE(Text(hwnd, IDC_PING_OUTPUT).starts_with(L"line 100\r\n"));
                dialog.End(IDCANCEL);
                return false;
        }
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
}

TEST_F(PingDialogTest, ASilentPeerTimesOutEveryTickAndTheLossReaches100) {
    bool started = false;
    Script script([&] {
        HWND hwnd = dialog.Hwnd();
        if (hwnd && !started) {
            // An unused address of a documentation network: nobody answers.
            SetDlgItemTextW(hwnd, IDC_PING_HOST, L"192.0.2.200");
            SetDlgItemTextW(hwnd, IDC_PING_TIMEOUT, L"300");
            Press(hwnd, IDC_PING_START);
            started = true;
        }
        if (!hwnd || Text(hwnd, IDC_PING_LOSS) != L"100") return true;
        EXPECT_TRUE(dialog.Running());
        // The first time-out counts at the second tick already; a loaded
        // machine may hand over a later one with it.
        const std::wstring output = Text(hwnd, IDC_PING_OUTPUT);
        EXPECT_TRUE(std::regex_match(output, std::wregex(LR"((超时\.\r\n){2,4})")))
            << win::WideToUtf8(output);
        dialog.End(IDCANCEL);
        return false;
    });
    dialog.DoModal(nullptr);
}

TEST_F(PingDialogTest, TheWindowAnswersWhileAReplyIsAwaitedAndStopsAtOnce) {
    ULONGLONG started = 0;
    ULONGLONG stopped = 0;
    Script script([&] {
        HWND hwnd = dialog.Hwnd();
        if (!hwnd) return true;
        if (!started) {
            SetDlgItemTextW(hwnd, IDC_PING_HOST, L"192.0.2.200");  // nobody answers
            SetDlgItemTextW(hwnd, IDC_PING_TIMEOUT, L"5000");
            Press(hwnd, IDC_PING_START);
            started = GetTickCount64();
            return true;
        }
        // The first request waits for its reply from half a second on.
        if (GetTickCount64() - started < 1500) return true;
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_PING_START, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDC_PING_START)));
        EXPECT_FALSE(dialog.Running());
        EXPECT_EQ(Text(hwnd, IDC_PING_START), L"开始");
        stopped = GetTickCount64();
        dialog.End(IDCANCEL);
        return false;
    });
    dialog.DoModal(nullptr);
    ASSERT_NE(stopped, 0u);
    // A window that waited for the reply would come back only after it.
    EXPECT_LT(stopped - started, 4000u);
    EXPECT_EQ(Text(dialog.Hwnd(), IDC_PING_OUTPUT), L"");
}

// ---- the program lock ----

class ProgramLockTest : public testing::Test {
  protected:
    static constexpr const wchar_t* kKey = L"Software\\Hourlink\\LockTest";
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        ProgramLock::SetValuesForTesting(&values);
    }
    void TearDown() override {
        ProgramLock::SetValuesForTesting(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    }

    std::vector<std::uint8_t> Stored(const wchar_t* name) {
        std::vector<std::uint8_t> bytes(64);
        DWORD size = static_cast<DWORD>(bytes.size());
        if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_BINARY, nullptr, bytes.data(),
                         &size) != ERROR_SUCCESS) {
            size = 0;
        }
        bytes.resize(size);
        return bytes;
    }

    // Answers the password question, if it comes, with `password` (null: Cancel).
    static bool AnswerPassword(const wchar_t* password, const char* screenshot = nullptr) {
        HWND hwnd = FindDialog(L"请输入用户名和口令");
        if (!hwnd) return false;
        if (password) SetDlgItemTextW(hwnd, IDC_LOCK_PASSWORD, password);
        if (screenshot) Shoot(hwnd, screenshot);
        Press(hwnd, password ? IDOK : IDCANCEL);
        return true;
    }
    bool Ask(const wchar_t* password, const char* screenshot = nullptr) {
        Script script([&] { return !AnswerPassword(password, screenshot); });
        return ProgramLock::AskPassword(nullptr);
    }

    RegistryProtectionValues values{HKEY_CURRENT_USER, kKey};
};

TEST_F(ProgramLockTest, APasswordSetInTheDialogIsStoredScrambledAndAskedFor) {
    EXPECT_TRUE(ProgramLock::AskPassword(nullptr));  // not locked: no question
    Script script([&] {
        HWND hwnd = FindDialog(L"设置保护密码");
        if (!hwnd) return true;
        CheckDlgButton(hwnd, IDC_LOCK_PROTECT, BST_CHECKED);
        SetDlgItemTextW(hwnd, IDC_LOCK_PASSWORD, L"s3cret");
        SetDlgItemTextW(hwnd, IDC_LOCK_CONFIRM, L"s3cret");
        Shoot(hwnd, "protection_dialog");
        Press(hwnd, IDOK);
        return false;
    });
    ProgramLock::OnProtectCommand(nullptr);

    std::vector<std::uint8_t> marker = {'8', '0', '4', '1', '7'};
    std::vector<std::uint8_t> password = {'s', '3', 'c', 'r', 'e', 't'};
    ScrambleBytes(marker);
    ScrambleBytes(password);
    EXPECT_EQ(Stored(L"ProcetedFlag"), marker);
    EXPECT_EQ(Stored(L"ps"), password);
    EXPECT_TRUE(ProgramLock::IsProtected());

    // As the exit asks it: case counts, a wrong one is simply refused.
    EXPECT_FALSE(Ask(L"S3cret"));
    EXPECT_FALSE(Ask(nullptr));
    EXPECT_TRUE(Ask(L"s3cret", "password_dialog"));

    // The protection dialog asks first, then shows the box checked;
    // "取消保护" and Cancel leave the program unprotected.
    bool checked = false;
    Script remove([&] {
        if (AnswerPassword(L"s3cret")) return true;
        HWND hwnd = FindDialog(L"设置保护密码");
        if (!hwnd) return true;
        checked = IsDlgButtonChecked(hwnd, IDC_LOCK_PROTECT) == BST_CHECKED;
        Press(hwnd, IDC_LOCK_REMOVE);
        Press(hwnd, IDCANCEL);
        return false;
    });
    ProgramLock::OnProtectCommand(nullptr);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(ProgramLock::IsProtected());
    EXPECT_TRUE(Stored(L"ps").empty());
}

// The registry's values, refusing to delete the flag or to write anything.
class RefusingValues final : public ProtectionValues {
  public:
    explicit RefusingValues(ProtectionValues& inner) : inner_(inner) {}
    std::optional<std::vector<std::uint8_t>> Read(std::wstring_view name) override {
        return inner_.Read(name);
    }
    bool Write(std::wstring_view, std::span<const std::uint8_t>) override { return false; }
    bool Delete(std::wstring_view name) override {
        return name != ProtectionStore::kFlag && inner_.Delete(name);
    }

  private:
    ProtectionValues& inner_;
};

TEST_F(ProgramLockTest, ChangesTheRegistryRefusesAreToldAndTheLockStaysAsItWas) {
    ASSERT_TRUE(ProtectionStore(values).Save(true, false, "s3cret"));
    RefusingValues refusing(values);
    ProgramLock::SetValuesForTesting(&refusing);
    for (const int button : {IDC_LOCK_REMOVE, IDOK}) {
        SCOPED_TRACE(button);
        std::wstring message;
        Script script([&] {
            if (AnswerPassword(L"s3cret")) return true;
            if (HWND box = FindDialog(L"Hourlink")) {
                message = Text(box, 0xFFFF);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return true;
            }
            HWND hwnd = FindDialog(L"设置保护密码");
            if (!hwnd) return message.empty();
            if (!message.empty()) {
                Press(hwnd, IDCANCEL);
                return false;
            }
            SetDlgItemTextW(hwnd, IDC_LOCK_PASSWORD, L"new");
            SetDlgItemTextW(hwnd, IDC_LOCK_CONFIRM, L"new");
            Press(hwnd, button);
            return true;
        });
        ProgramLock::OnProtectCommand(nullptr);
        EXPECT_EQ(message, button == IDOK ? ProtectionSettingsDialog::kSaveFailed
                                          : ProtectionSettingsDialog::kRemoveFailed);
        EXPECT_TRUE(ProgramLock::IsProtected());
        EXPECT_TRUE(ProtectionStore(values).PasswordMatches("s3cret"));
    }
}

TEST_F(ProgramLockTest, RefusesDifferingEntriesWhatGbkLacksAndMoreThan32Bytes) {
    for (const auto& [password, confirmation] :
         {std::pair{L"abc", L"abd"}, std::pair{L"niño", L"niño"}}) {
        SCOPED_TRACE(win::WideToUtf8(password));
        std::wstring message;
        std::wstring typed;
        Script script([&] {
            if (HWND box = FindDialog(L"Hourlink")) {
                message = Text(box, 0xFFFF);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return false;
            }
            HWND hwnd = FindDialog(L"设置保护密码");
            if (!hwnd || !typed.empty()) return true;  // the message is coming
            // Two bytes each: a seventeenth would make 34.
            for (int i = 0; i < 20; ++i)
                SendDlgItemMessageW(hwnd, IDC_LOCK_PASSWORD, WM_CHAR, L'密', 1);
            typed = Text(hwnd, IDC_LOCK_PASSWORD);
            CheckDlgButton(hwnd, IDC_LOCK_PROTECT, BST_CHECKED);
            SetDlgItemTextW(hwnd, IDC_LOCK_PASSWORD, password);
            SetDlgItemTextW(hwnd, IDC_LOCK_CONFIRM, confirmation);
            Press(hwnd, IDOK);
            return true;
        });
        ProgramLock::OnProtectCommand(nullptr);
        EXPECT_EQ(typed, std::wstring(16, L'密'));
        EXPECT_EQ(message, L"密码输入不正确，请重新输入");
        EXPECT_FALSE(ProgramLock::IsProtected());
    }
}

}  // namespace
}  // namespace hourlink
