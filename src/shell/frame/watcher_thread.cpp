#include "shell/frame/watcher_thread.h"

#include <utility>

#include "core/net/address_list.h"

namespace hourlink {

WatcherThread::WatcherThread(ConnectionWatcher& watcher, std::wstring recordPath)
    : watcher_(watcher), recordPath_(std::move(recordPath)) {}

WatcherThread::~WatcherThread() {
    Stop();
}

bool WatcherThread::Start(int priority) {
    if (thread_ != nullptr) return false;
    stopRequested_ = false;
    thread_ =
        CreateThread(nullptr, 0, &WatcherThread::ThreadMain, this, CREATE_SUSPENDED, &threadId_);
    if (thread_ == nullptr) return false;
    SetThreadPriority(thread_, priority);
    ResumeThread(thread_);
    return true;
}

bool WatcherThread::IsRunning() const {
    return thread_ != nullptr && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
}

void WatcherThread::RequestCheck() {
    std::lock_guard lock(eventMutex_);
    checkRequested_ = true;
    if (changeEvent_ != WSA_INVALID_EVENT) WSASetEvent(changeEvent_);
}

void WatcherThread::Stop() {
    if (thread_ == nullptr) return;
    {
        std::lock_guard lock(eventMutex_);
        stopRequested_ = true;
        if (changeEvent_ != WSA_INVALID_EVENT) WSASetEvent(changeEvent_);
    }
    if (GetCurrentThreadId() == threadId_) return;  // cannot wait for itself
    WaitForThreadEnd();
    CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
    ReleaseWinsock();
}

void WatcherThread::WaitForThreadEnd() {
    // The thread may be sending a message to a window of this thread (a
    // session end) and waits until it is handled: deliver such sends while
    // waiting, or both threads would wait for each other.
    for (;;) {
        const DWORD result =
            MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1) break;  // the thread ended (or the wait failed)
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void WatcherThread::ReleaseWinsock() {
    // Closing the socket cancels the pending change notification before its
    // overlapped record and event go away.
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    {
        std::lock_guard lock(eventMutex_);
        if (changeEvent_ != WSA_INVALID_EVENT) {
            WSACloseEvent(changeEvent_);
            changeEvent_ = WSA_INVALID_EVENT;
        }
    }
    if (winsockStarted_) {
        WSACleanup();
        winsockStarted_ = false;
    }
    addressCount_ = -1;
}

DWORD WINAPI WatcherThread::ThreadMain(void* self) {
    static_cast<WatcherThread*>(self)->Run();
    return 0;
}

void WatcherThread::Run() {
    OpenRecordFile();
    OpenSocket();
    QueryAddressList();
    CreateChangeEvent();
    RequestChangeNotification();
    if (stopRequested_) return;
    watcher_.Start();
    while (WaitForChange()) {
        // Ask for the next change before looking: the pass can take seconds
        // (a silent DNS server), and a change during it must end the next
        // wait at once instead of going unseen.
        RequestChangeNotification();
        QueryAddressList();
        watcher_.OnAddressChange();
    }
}

void WatcherThread::OpenRecordFile() {
    watcher_.OpenRecordFile(recordPath_);
}

void WatcherThread::OpenSocket() {
    WSADATA data{};
    const int error = WSAStartup(MAKEWORD(2, 2), &data);
    if (error != 0) {
        watcher_.Report(L"WSAStartup()", error);
        WSACleanup();
        return;  // no socket: no address list, no change notification
    }
    winsockStarted_ = true;
    socket_ = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (socket_ == INVALID_SOCKET) watcher_.Report(L"WSASocket() failed", WSAGetLastError());
}

void WatcherThread::QueryAddressList() {
    DWORD bytes = 0;
    if (WSAIoctl(socket_, SIO_ADDRESS_LIST_QUERY, nullptr, 0, addressBuffer_.data(),
                 static_cast<DWORD>(addressBuffer_.size()), &bytes, nullptr,
                 nullptr) == SOCKET_ERROR) {
        watcher_.Report(L"地址查询失败", WSAGetLastError());
        return;
    }
    const AddressList list = ParseAddressList(
        addressBuffer_.data(), bytes, reinterpret_cast<std::uintptr_t>(addressBuffer_.data()));
    addressCount_ = list.count;
}

void WatcherThread::CreateChangeEvent() {
    const WSAEVENT event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT) {
        watcher_.Report(L"Event", WSAGetLastError());
        return;
    }
    std::lock_guard lock(eventMutex_);
    changeEvent_ = event;
    // A stop asked for before the event existed could not signal it.
    if (stopRequested_) WSASetEvent(changeEvent_);
}

void WatcherThread::RequestChangeNotification() {
    if (changeEvent_ == WSA_INVALID_EVENT) return;
    overlapped_ = WSAOVERLAPPED{};
    overlapped_.hEvent = changeEvent_;
    DWORD bytes = 0;
    if (WSAIoctl(socket_, SIO_ADDRESS_LIST_CHANGE, nullptr, 0, nullptr, 0, &bytes, &overlapped_,
                 nullptr) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error != WSA_IO_PENDING) watcher_.Report(L"地址变化检测失败", error);
    }
}

bool WatcherThread::WaitForChange() {
    for (;;) {
        if (stopRequested_) return false;
        const auto lookAgain = watcher_.LookAgainAfterMs();
        const DWORD result = WSAWaitForMultipleEvents(1, &changeEvent_, FALSE,
                                                      lookAgain ? *lookAgain : WSA_INFINITE, FALSE);
        if (result == WSA_WAIT_TIMEOUT) {
            // A LAN whose DNS server did not answer: look again while the
            // change notification stays pending.
            if (stopRequested_) return false;
            watcher_.OnAddressChange();
            continue;
        }
        if (result == WSA_WAIT_FAILED) {
            watcher_.Report(L"WSAWaitForMultipleEvents failed", WSAGetLastError());
            return false;
        }
        if (stopRequested_) return false;
        WSAResetEvent(changeEvent_);
        // A look asked for by the UI thread while the address list stayed as it
        // was: the change notification is still pending, so keep waiting on it.
        if (checkRequested_.exchange(false) && !HasOverlappedIoCompleted(&overlapped_)) {
            watcher_.OnAddressChange();
            continue;
        }
        DWORD bytes = 0;
        DWORD flags = 0;
        if (!WSAGetOverlappedResult(socket_, &overlapped_, &bytes, FALSE, &flags)) {
            watcher_.Report(L"Closing socket", static_cast<int>(socket_));
            return false;
        }
        return true;
    }
}

}  // namespace hourlink
