// The one background thread that builds the position caches of all trees.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vel {

class TBaseLazyTree;

// An auto-reset event: one Wait is released per Signal.
class TWakeEvent {
public:
    void Signal();
    void Wait();

private:
    std::mutex FLock;
    std::condition_variable FCond;
    bool FSignalled = false;
};

class TWorkerThread {
public:
    TWorkerThread();
    // Asks the thread to end, wakes it and waits for it.
    ~TWorkerThread();
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;

    // Queues Tree once (leaving tsStopValidation); the caller signals the event.
    void AddTree(TBaseLazyTree* Tree);
    void RemoveTree(TBaseLazyTree* Tree);
    // Tells the current tree's window (synchronously) which states to enter and leave.
    void SendTreeStates(std::uint8_t EnterStates, std::uint8_t LeaveStates);

    TBaseLazyTree* CurrentTree() const;
    std::uint32_t RefCount = 0;
    std::size_t WaitingCount();

private:
    void Execute();

    mutable std::mutex FTreesLock;
    // Each tree with the window it had when queued: this thread never reads
    // a tree's own fields but its nodes.
    struct TWaiting {
        TBaseLazyTree* Tree;
        void* Window;
    };
    std::vector<TWaiting> FWaitingTrees;
    TBaseLazyTree* FCurrentTree = nullptr;
    void* FCurrentWindow = nullptr;
    std::mutex FBuildLock;
    bool FTerminated = false;
    std::atomic<bool> FExited{false};
    std::thread FThread;
};

// The worker and its wake event, from the first tree to the last.
TWorkerThread* WorkerThread();
TWakeEvent* WakeEvent();
void AddThreadReference();
void DropThreadReference(TBaseLazyTree* Tree);

} // namespace vel
