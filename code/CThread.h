// A procedure running on its own thread for as long as the owning object
// lives, and the re-entrant locks the threads share.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CThread;
typedef void (*ThreadProcedure)(CThread* thread, void* parameter);

class CThread {
public:
    // Starts the thread at once; the procedure must return soon after it
    // sees StopRequested.
    CThread(ThreadProcedure procedure, const char* name, void* parameter);
    // Requests the stop and polls every 25 ms until the procedure has returned.
    virtual ~CThread();

    bool StopRequested() const { return stopRequested.load(); }
    bool IsRunning() const { return running.load(); }

    // Not available on this platform; report failure as the system would.
    int Suspend() { return -1; }
    int Resume() { return -1; }
    bool SetPriority(int) { return false; }

private:
    struct ParamData;
    static void StartRoutine(ParamData* data);

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};  // the "thread handle": cleared by the thread when done
    std::thread thread;
    std::string name;
};

// The loop of the network threads: while `active` says no, wait in 100 ms
// steps; otherwise run one `round` and rest 20 ms; until the stop request.
void RunPolledRounds(CThread* thread, const std::function<bool()>& active, const std::function<void()>& round);

class CriticalSection {
public:
    void Enter() { mutex.lock(); }
    void Leave() { mutex.unlock(); }

private:
    std::recursive_mutex mutex;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& section) : section(section) { section.Enter(); }
    ~ScopedLock() { section.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& section;
};
