// The shared worker thread and the tree's position cache.
#include "LazyTreeWorker.h"

#include "LazyTreeInternal.h"

#include "Forms.h"
#include "Messages.h"
#include "NoDestroy.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <system_error>

namespace vel {

using namespace lt;

namespace {

constexpr std::uint32_t CacheThreshold = 2000;
constexpr std::uint32_t FineStride = 8;

// Bits of the worker's state message.
constexpr std::uint8_t bsStopValidation = 1;
constexpr std::uint8_t bsUseCache = 2;
constexpr std::uint8_t bsValidating = 4;
constexpr std::uint8_t bsValidationNeeded = 8;

// The worker and its event, from the first tree to the last. The slot is
// never destroyed: a tree still alive at exit keeps the thread waiting on a
// live event, and a tree freed by a late exit handler still finds both.
struct TWorkerSlot {
    std::unique_ptr<TWorkerThread> Worker;
    std::unique_ptr<TWakeEvent> Wake;
};

TWorkerSlot& Slot() {
    static fw::TNoDestroy<TWorkerSlot> slot;
    return *slot;
}

TLazyTreeStates FromBits(std::uintptr_t B) {
    TLazyTreeStates R;
    if (B & bsStopValidation) R = R + TLazyTreeStates{tsStopValidation};
    if (B & bsUseCache) R = R + TLazyTreeStates{tsUseCache};
    if (B & bsValidating) R = R + TLazyTreeStates{tsValidating};
    if (B & bsValidationNeeded) R = R + TLazyTreeStates{tsValidationNeeded};
    return R;
}

// Binary search for the last cache entry for which AtOrBefore holds; leaves CurrentPos alone
// when there is none.
template <class TAtOrBefore>
PLazyNode LastCacheEntryAtOrBefore(const TCache& Cache, std::uint32_t& CurrentPos,
                                   TAtOrBefore AtOrBefore) {
    std::size_t L = 0, H = Cache.size();
    while (L < H) {
        std::size_t M = (L + H) / 2;
        if (AtOrBefore(Cache[M]))
            L = M + 1;
        else
            H = M;
    }
    if (L == 0) return nullptr;
    CurrentPos = Cache[L - 1].Top;
    return Cache[L - 1].Node;
}

} // namespace

void TWakeEvent::Signal() {
    {
        std::lock_guard<std::mutex> L(FLock);
        FSignalled = true;
    }
    FCond.notify_one();
}

void TWakeEvent::Wait() {
    std::unique_lock<std::mutex> L(FLock);
    FCond.wait(L, [this] { return FSignalled; });
    FSignalled = false;
}

TWorkerThread* WorkerThread() {
    return Slot().Worker.get();
}

TWakeEvent* WakeEvent() {
    return Slot().Wake.get();
}

void AddThreadReference() {
    TWorkerSlot& S = Slot();
    if (!S.Worker) {
        S.Wake = std::make_unique<TWakeEvent>();
        S.Worker = std::make_unique<TWorkerThread>();
    }
    ++S.Worker->RefCount;
}

void DropThreadReference(TBaseLazyTree* Tree) {
    TWorkerSlot& S = Slot();
    if (!S.Worker) return;
    --S.Worker->RefCount;
    try {
        Tree->InterruptValidation(); // the worker has stopped whatever a handler does
    } catch (...) {
        fw::ReportLeaveStepError();
    }
    if (S.Worker->RefCount == 0) {
        S.Worker.reset(); // ends and joins the thread
        S.Wake.reset();
    }
}

TWorkerThread::TWorkerThread() : FThread([this] { Execute(); }) {}

TWorkerThread::~TWorkerThread() {
    {
        std::lock_guard<std::mutex> L(FTreesLock);
        FTerminated = true;
    }
    WakeEvent()->Signal();
    // The worker may be waiting for this thread to take a state message: let
    // such messages through until it has left, or the join would never end.
    for (;;) {
        const std::uint64_t Seen = fw::WakeupCount();
        try {
            fw::DeliverSentMessages();
        } catch (...) {
            fw::ReportLeaveStepError(); // a state handler of a tree on its way out
        }
        if (FExited.load()) break;
        fw::WaitForWakeup(Seen, 100);
    }
    if (FThread.joinable()) FThread.join();
}

void TWorkerThread::AddTree(TBaseLazyTree* Tree) {
    LTAssert(Tree != nullptr, "Tree must not be nil.");
    Tree->DoStateChange({}, {tsStopValidation});
    void* Window = Tree->HandleAllocated() ? Tree->Handle() : nullptr;
    std::lock_guard<std::mutex> L(FTreesLock);
    auto It = std::find_if(FWaitingTrees.begin(), FWaitingTrees.end(),
                           [Tree](const TWaiting& W) { return W.Tree == Tree; });
    if (It == FWaitingTrees.end())
        FWaitingTrees.push_back({Tree, Window});
    else
        It->Window = Window;
}

void TWorkerThread::RemoveTree(TBaseLazyTree* Tree) {
    LTAssert(Tree != nullptr, "Tree must not be nil.");
    std::lock_guard<std::mutex> L(FTreesLock);
    std::erase_if(FWaitingTrees, [Tree](const TWaiting& W) { return W.Tree == Tree; });
}

TBaseLazyTree* TWorkerThread::CurrentTree() const {
    std::lock_guard<std::mutex> L(FTreesLock);
    return FCurrentTree;
}

std::size_t TWorkerThread::WaitingCount() {
    std::lock_guard<std::mutex> L(FTreesLock);
    return FWaitingTrees.size();
}

void TWorkerThread::SendTreeStates(std::uint8_t EnterStates, std::uint8_t LeaveStates) {
    void* Window = nullptr;
    {
        std::lock_guard<std::mutex> L(FTreesLock);
        if (FCurrentTree) Window = FCurrentWindow;
    }
    // A window gone meanwhile takes no messages.
    if (Window)
        fw::SendMessage(static_cast<fw::HWND>(Window), WM_TREESTATECHANGE, EnterStates,
                        LeaveStates);
}

void TWorkerThread::Execute() {
    fw::TScopeExit exitMark([this] {
        FExited.store(true);
        fw::WakeUserInterface();
    });
    for (;;) {
        WakeEvent()->Wait();
        {
            std::lock_guard<std::mutex> L(FTreesLock);
            if (FTerminated) return;
            if (!FWaitingTrees.empty()) {
                FCurrentTree = FWaitingTrees.front().Tree;
                FCurrentWindow = FWaitingTrees.front().Window;
                FWaitingTrees.erase(FWaitingTrees.begin());
                if (!FWaitingTrees.empty()) WakeEvent()->Signal();
            } else {
                FCurrentTree = nullptr;
            }
        }
        TBaseLazyTree* Tree = CurrentTree();
        if (!Tree) continue;
        SendTreeStates(bsValidating, bsUseCache);
        bool Built = false;
        {
            std::lock_guard<std::mutex> B(FBuildLock);
            // A tree without a window cannot hear the outcome, so it is not walked.
            if (FCurrentWindow && !Tree->FStopValidation.load())
                Built = Tree->BuildPositionCache();
        }
        if (Built)
            SendTreeStates(bsUseCache, bsStopValidation | bsValidating | bsValidationNeeded);
        else
            SendTreeStates(0, bsStopValidation | bsValidating);
        {
            std::lock_guard<std::mutex> L(FTreesLock);
            FCurrentTree = nullptr;
            FCurrentWindow = nullptr;
        }
        // A tree waiting in InterruptValidation for this one to let go.
        fw::WakeUserInterface();
    }
}

// ------------------------------------------------------------ the tree side

std::uint32_t TBaseLazyTree::PositionCacheSize() const {
    if (FVisibleCount < 2) return 0;
    return (FVisibleCount + CacheThreshold - 1) / CacheThreshold;
}

bool TBaseLazyTree::BuildPositionCache() {
    if (FStopValidation.load()) return false;
    FPositionCache.clear();
    FFineCache.clear();
    if (FVisibleCount <= CacheThreshold) return false;
    FPositionCache.resize(PositionCacheSize());
    FFineCache.reserve(FVisibleCount / FineStride + 1);
    std::uint32_t Top = 0;
    std::size_t Index = 0;
    std::uint32_t Steps = 0;
    PLazyNode Run = GetFirstVisibleNoInit();
    PLazyNode Last = Run;
    bool Stopped = false;
    while (Run) {
        if (FStopValidation.load()) {
            Stopped = true;
            break;
        }
        if (Steps % CacheThreshold == 0 && Index < FPositionCache.size())
            FPositionCache[Index++] = {Run, Top};
        if (Steps % FineStride == 0) FFineCache.push_back({Run, Top});
        // Heights are read as stored: no events run on this thread.
        Top += Run->NodeHeight;
        Last = Run;
        PLazyNode Next = NextShownNoInit(Run);
        if (!Next) break;
        Run = Next;
        ++Steps;
    }
    if (!Stopped && Index < FPositionCache.size()) {
        FPositionCache.resize(Index + 1);
        FPositionCache[Index] = {Last, Top};
    }
    return Steps > 0 && !FStopValidation.load();
}

PLazyNode TBaseLazyTree::LookUpPositionCache(std::uint32_t Position,
                                             std::uint32_t& CurrentPos) const {
    return LastCacheEntryAtOrBefore(FFineCache.empty() ? FPositionCache : FFineCache, CurrentPos,
                                    [Position](const auto& E) { return E.Top <= Position; });
}

PLazyNode TBaseLazyTree::LookUpPositionCache(PLazyNode Node, std::uint32_t& CurrentPos) const {
    return LastCacheEntryAtOrBefore(FFineCache.empty() ? FPositionCache : FFineCache, CurrentPos,
                                    [this, Node](const auto& E) {
        return CompareNodePositions(E.Node, Node) <= 0;
    });
}

void TBaseLazyTree::InterruptValidation() {
    // A cache that was in use is dropped here, so it needs building again:
    // without the mark, InvalidateCache on a built cache would queue nothing
    // and leave the tree without one for good.
    const bool HadCache = InState(tsUseCache);
    DoStateChange(HadCache ? TLazyTreeStates{tsStopValidation, tsValidationNeeded}
                           : TLazyTreeStates{tsStopValidation},
                  {tsUseCache});
    TWorkerThread* W = WorkerThread();
    if (!W) return;
    W->RemoveTree(this);
    if (FWorkerMessageDepth > 0) {
        // Called while the worker's own message is handled: it reads nothing
        // until that is answered and then finds the stop state, so waiting for
        // it here would wait for ever.
        if (W->CurrentTree() == this) DoStateChange({tsValidationNeeded});
        return;
    }
    // Once the worker has taken this tree it may be reading its nodes or waiting
    // to tell it so: let its messages through until it lets go of the tree.
    bool WasTaken = InState(tsValidating) || W->CurrentTree() == this;
    // What the messages taken here run counts as a handler's: whatever
    // operation called this still holds its nodes, so what they delete keeps
    // its memory until that operation ends.
    lt::TBusyScope Messages(*this, TBusyKind::Handler);
    // Sleeps between the worker's messages: it wakes this thread when it
    // sends one and when it lets go of the tree. A handler that throws on the
    // way does not end the wait: its exception follows once the worker let go.
    std::exception_ptr Failed;
    while (!fw::Application()->Terminated()) {
        const std::uint64_t Seen = fw::WakeupCount();
        if (W->CurrentTree() != this) break;
        try {
            fw::DeliverSentMessages();
            fw::TMsg Msg;
            if (HandleAllocated() && fw::PeekMessage(Msg, Handle(), true)) {
                if (Msg.message == fw::WM_QUIT) break;
                fw::DispatchMessage(Msg);
            } else if (W->CurrentTree() == this) {
                fw::WaitForWakeup(Seen, 100);
            }
        } catch (...) {
            if (!Failed) Failed = std::current_exception();
        }
    }
    if (WasTaken) DoStateChange({tsValidationNeeded});
    if (Failed) std::rethrow_exception(Failed);
}

void TBaseLazyTree::InvalidateCache() {
    InterruptValidation();
    // While an operation runs, the worker waits for its end: it must not read
    // nodes that the operation (or a handler of it) goes on changing.
    if (FBusyCount > 0) {
        FCacheWanted = true;
        return;
    }
    if (FGoing) return;
    TWorkerThread* W = WorkerThread();
    if (W && InState(tsValidationNeeded) && HandleAllocated()) {
        W->AddTree(this);
        WakeEvent()->Signal();
    }
}

void TBaseLazyTree::MarkValidationNeeded() {
    DoStateChange({tsValidationNeeded}, {tsUseCache});
}

void TBaseLazyTree::WMTreeStateChange(fw::TMessage& Message) {
    DoStateChange(FromBits(Message.WParam), FromBits(static_cast<std::uintptr_t>(Message.LParam)));
}

} // namespace vel
