// WatcherThread: the Windows thread of the connection watcher. It opens the
// record file, subscribes to Winsock's notification of a change of the local
// address list, lets the watcher make its first decision, and then sleeps until
// the address list changes, when it hands over to ConnectionWatcher again.
// Nothing is polled: between changes the thread waits on one event.
//
// The thread owns nothing but itself and its Winsock objects (socket, change
// event, overlapped record, address buffer); the watcher, its record file and
// the frame belong to the caller and must outlive Stop().
//
// Stop() ends the thread cleanly: it sets a flag, signals the change event, and
// waits for the thread while delivering the messages the thread sends to
// windows of the calling thread (a session end is sent synchronously to the
// frame, so a frame that stops the watcher must keep answering sends).
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/net/connection_watcher.h"

namespace hourlink {

class WatcherThread {
  public:
    // `recordPath` is the full path of the record file the thread opens.
    WatcherThread(ConnectionWatcher& watcher, std::wstring recordPath);
    WatcherThread(const WatcherThread&) = delete;
    WatcherThread& operator=(const WatcherThread&) = delete;
    ~WatcherThread();

    // Creates the thread suspended, gives it `priority` (THREAD_PRIORITY_...)
    // and lets it run. False when it was started and not stopped since, or
    // could not be created.
    bool Start(int priority = THREAD_PRIORITY_NORMAL);

    // Asks the thread to look at the connection again as after an address
    // change, without waiting for it: for the UI thread, which must never run
    // the watcher's probes itself.
    void RequestCheck();

    // Ends the thread and releases its Winsock objects; returns once the thread
    // has finished. Safe to call when never started and more than once.
    void Stop();

    bool IsRunning() const;
    // The number of addresses the last address-list query reported (-1 before
    // any query succeeded).
    int AddressCount() const { return addressCount_; }

    static constexpr std::size_t kAddressBufferSize = 1024;

  private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();

    void OpenRecordFile();
    void OpenSocket();
    void QueryAddressList();
    void CreateChangeEvent();
    void RequestChangeNotification();
    // Waits for the next address change; false when the thread must end (a
    // stop request or a failure, which has been reported).
    bool WaitForChange();
    void WaitForThreadEnd();
    void ReleaseWinsock();

    ConnectionWatcher& watcher_;
    const std::wstring recordPath_;

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    std::atomic<bool> stopRequested_ = false;
    std::atomic<bool> checkRequested_ = false;
    // Guards the publication of the change event between the thread, which
    // creates it, and Stop(), which signals it.
    std::mutex eventMutex_;

    bool winsockStarted_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    WSAEVENT changeEvent_ = WSA_INVALID_EVENT;
    WSAOVERLAPPED overlapped_{};
    alignas(8) std::array<std::uint8_t, kAddressBufferSize> addressBuffer_{};
    std::atomic<int> addressCount_ = -1;
};

}  // namespace hourlink
