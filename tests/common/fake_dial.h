// A scripted dialing seam and a dialer host that records what the window
// would show. The dial threads call the platform, so it is guarded by a lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/net/dialer.h"

namespace hourlink::test {

class FakeDialPlatform final : public DialPlatform {
  public:
    // What the phonebook stores, per entry.
    struct Entry {
        DialParameters parameters;
        bool hasPassword = false;
    };

    std::uint32_t GetEntryDialParameters(const std::wstring& name, DialParameters& parameters,
                                         bool& hasPassword) override {
        std::lock_guard lock(mutex);
        const auto it = entries.find(name);
        if (it == entries.end()) return 623;  // ERROR_CANNOT_FIND_PHONEBOOK_ENTRY
        parameters = it->second.parameters;
        hasPassword = it->second.hasPassword;
        return 0;
    }
    std::uint32_t SetEntryDialParameters(const DialParameters& parameters,
                                         bool removePassword) override {
        std::lock_guard lock(mutex);
        Entry& entry = entries[parameters.entryName];
        entry.parameters.userName = parameters.userName;
        entry.parameters.password = removePassword ? L"" : parameters.password;
        entry.parameters.domain = parameters.domain;
        entry.hasPassword = !removePassword;
        ++stores;
        return 0;
    }
    std::uint32_t Dial(const DialParameters& parameters, RasHandle& handle) override {
        std::unique_lock lock(mutex);
        dialled.push_back(parameters);
        changed.notify_all();
        // A test may hold the dial here, as RAS takes its time.
        changed.wait(lock, [this] { return !holdDial; });
        handle = nextHandle++;
        return dialResult;
    }
    std::uint32_t HangUp(RasHandle handle) override {
        std::lock_guard lock(mutex);
        hungUp.push_back(handle);
        changed.notify_all();
        return 0;
    }
    std::uint32_t ConnectionStatus(RasHandle) override {
        std::lock_guard lock(mutex);
        ++statusPolls;
        return statusPolls >= pollsUntilGone ? kErrorInvalidHandle : 0;
    }
    std::optional<std::wstring> ErrorText(std::uint32_t code) override {
        if (code == 678) return L"远程计算机没有响应。";
        return std::nullopt;
    }
    std::uint32_t StartProgram(const std::wstring& commandLine, int) override {
        std::unique_lock lock(mutex);
        started.push_back(commandLine);
        changed.notify_all();
        // A test may hold the start here, as the client takes its time.
        changed.wait(lock, [this] { return !holdStart; });
        return startResult;
    }
    void PostClick(std::uintptr_t window) override {
        std::lock_guard lock(mutex);
        clicked.push_back(window);
        changed.notify_all();
    }

    // Waits (at most 5 s) until `done` holds, under the lock.
    template <class Predicate>
    bool WaitUntil(Predicate done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), done);
    }
    void Release() {
        std::lock_guard lock(mutex);
        holdDial = false;
        holdStart = false;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::wstring, Entry> entries;
    std::vector<DialParameters> dialled;
    std::vector<RasHandle> hungUp;
    std::vector<std::wstring> started;
    std::vector<std::uintptr_t> clicked;
    std::uint32_t dialResult = 0;
    std::uint32_t startResult = 0;
    RasHandle nextHandle = 0x100;
    bool holdDial = false;
    bool holdStart = false;
    int stores = 0;
    int statusPolls = 0;
    int pollsUntilGone = 3;
};

// Records the window's side; the connect dialog answers with `answer`.
class RecordingDialHost final : public DialHost {
  public:
    void Log(std::wstring text) override { Add(std::move(text)); }
    void ShowError(std::wstring text) override {
        std::lock_guard lock(mutex);
        errors.push_back(std::move(text));
    }
    std::wstring PhoneNumberOf(const std::wstring& entry) override {
        const auto it = phoneNumbers.find(entry);
        return it == phoneNumbers.end() ? std::wstring() : it->second;
    }
    bool AskConnect(ConnectDetails& details) override {
        asked.push_back(details);
        if (!answer) return false;
        details = *answer;
        return true;
    }
    void PostLog(std::wstring text) override { Add(std::move(text)); }
    void PostError(std::wstring text) override { ShowError(std::move(text)); }

    std::vector<std::wstring> Lines() {
        std::lock_guard lock(mutex);
        return lines;
    }
    bool WaitForLines(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5),
                                [&] { return lines.size() >= count; });
    }

    std::map<std::wstring, std::wstring> phoneNumbers;
    std::vector<ConnectDetails> asked;
    std::optional<ConnectDetails> answer;
    std::vector<std::wstring> errors;

  private:
    void Add(std::wstring text) {
        std::lock_guard lock(mutex);
        lines.push_back(std::move(text));
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::wstring> lines;
};

// Dial threads that never wait: a pause or the wait for RAS ends at once,
// reporting whether a hang-up or an answer had already come. With
// `waitForRas` (which a test may switch), the wait for RAS's answer is a real
// one (five seconds at most) and only the pauses are skipped.
class NoWaiting final : public DialTiming {
  public:
    explicit NoWaiting(bool waitForRas = false) : waitForRas_(waitForRas) {}
    bool Wait(Signal& signal, int milliseconds) override {
        {
            std::lock_guard lock(mutex_);
            waits_.push_back(milliseconds);
        }
        if (waitForRas_ && milliseconds == 50000) return signal.WaitFor(std::chrono::seconds(5));
        return signal.IsSet();
    }
    void WaitForRas(bool wait) { waitForRas_ = wait; }
    std::vector<int> Waits() {
        std::lock_guard lock(mutex_);
        return waits_;
    }

  private:
    std::atomic<bool> waitForRas_;
    std::mutex mutex_;
    std::vector<int> waits_;
};

}  // namespace hourlink::test
