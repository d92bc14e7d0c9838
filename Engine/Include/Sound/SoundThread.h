#pragma once
// A worker thread owned by an object. The thread is created suspended with
// the object and started by the object's first StartThread; from then on it
// runs T::Run, which waits for work with WaitForWake and returns once
// IsStopRequested says so. The owner's destructor calls StopThread first,
// which sets the stop flag, wakes the worker and joins it, so the worker
// never runs on a half-destroyed object and is never killed holding a lock.
#include <windows.h>

#include <atomic>

template <int N = 1>
class CThreadT
{
public:
    CThreadT() = default;
    CThreadT(const CThreadT&) = delete;
    CThreadT& operator=(const CThreadT&) = delete;
    virtual ~CThreadT()
    {
        // The owner has joined a started worker already (see above); one
        // that never ran holds nothing and is simply discarded.
        if (m_hThread && !m_bStarted.exchange(true))
        {
            TerminateThread(m_hThread, 0);
            WaitForSingleObject(m_hThread, 5000);
        }
        else
            StopThread();
        if (m_hThread)
            CloseHandle(m_hThread);
        if (m_hWake)
            CloseHandle(m_hWake);
    }

    virtual HANDLE GetHandle() const { return m_hThread; }
    DWORD GetThreadId() const { return m_dwThreadId; }
    bool HasThread() const { return m_hThread != nullptr; }

    // Lets the suspended worker run (once; later calls only wake it).
    void StartThread()
    {
        if (!m_hThread)
            return;
        if (!m_bStarted.exchange(true))
            ResumeThread(m_hThread);
        else
            WakeThread();
    }
    // Ends the worker's current wait.
    void WakeThread()
    {
        if (m_hWake)
            SetEvent(m_hWake);
    }
    // Asks the worker to end and waits until it has. Safe to call again;
    // does not wait when called from the worker itself.
    void StopThread()
    {
        if (!m_hThread || m_bJoined)
            return;
        m_bStop = true;
        if (GetCurrentThreadId() == m_dwThreadId)
            return;
        if (!m_bStarted.exchange(true))
            ResumeThread(m_hThread);
        WakeThread();
        WaitForSingleObject(m_hThread, INFINITE);
        m_bJoined = true;
    }

    // Worker side.
    bool IsStopRequested() const { return m_bStop; }
    // Waits up to `milliseconds` (INFINITE allowed) for WakeThread or
    // StopThread; true when woken.
    bool WaitForWake(DWORD milliseconds)
    {
        if (m_bStop)
            return true;
        return WaitForSingleObject(m_hWake, milliseconds) == WAIT_OBJECT_0;
    }

protected:
    HANDLE m_hThread = nullptr;
    DWORD m_dwThreadId = 0;
    HANDLE m_hWake = nullptr;
    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bStop{false};
    bool m_bJoined = false;
};

// Creates the suspended worker whose body is T::Run (a DWORD member without
// arguments; its result is the thread's exit code). The handle stays null
// when the thread cannot be made; the object then works without a worker.
template <class T, class TBase = CThreadT<1>>
class CThreadImpl : public TBase
{
public:
    CThreadImpl()
    {
        this->m_hWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (this->m_hWake)
            this->m_hThread = CreateThread(nullptr, 0, &CThreadImpl::ThreadProc, this, CREATE_SUSPENDED,
                                           &this->m_dwThreadId);
    }

private:
    static DWORD WINAPI ThreadProc(LPVOID parameter)
    {
        return static_cast<T*>(static_cast<CThreadImpl*>(parameter))->Run();
    }
};
