#include "TSShared.h"

#include "NoDestroy.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>

namespace vel {

// --- Memory canvas ---------------------------------------------------------------------

void TtsMemoryCanvas::Acquire(int width, int height) {
    if (!FDC) {
        FWidth = std::max(0, width);
        FHeight = std::max(0, height);
        FDC = std::make_unique<fw::TBitmap>(FWidth, FHeight);
    } else {
        Grow(width, height);
    }
    ++FUseCount;
}

void TtsMemoryCanvas::Grow(int width, int height) {
    if (!FDC) return;
    if (width <= FWidth && height <= FHeight) return;
    FWidth = std::max(FWidth, width);
    FHeight = std::max(FHeight, height);
    FDC = std::make_unique<fw::TBitmap>(FWidth, FHeight);
}

void TtsMemoryCanvas::Release() {
    if (FUseCount > 0) --FUseCount;
    if (FUseCount == 0) {
        FDC.reset();
        FWidth = 0;
        FHeight = 0;
    }
}

fw::TCanvas& TtsMemoryCanvas::Use(bool& inUse, int width, int height) {
    if (!inUse) {
        Acquire(width, height);
        inUse = true;
    } else {
        Grow(width, height);
    }
    fw::TCanvas& c = FDC->Canvas();
    c.ResetClipRect();
    return c;
}

void TtsMemoryCanvas::SetClipRect(const fw::TRect& r) {
    if (FDC) FDC->Canvas().SetClipRect(r);
}

void TtsMemoryCanvas::Lock(const void* owner) {
    FMutex.lock();
    FOwners.push_back(owner);
    FOwnerThread = std::this_thread::get_id();
    FOwner = owner;
}

void TtsMemoryCanvas::Unlock() {
    if (!FOwners.empty()) FOwners.pop_back();
    FOwner = FOwners.empty() ? nullptr : FOwners.back();
    if (FOwners.empty()) FOwnerThread = std::thread::id();
    FMutex.unlock();
}

bool TtsMemoryCanvas::IsLocked() const {
    return FOwnerThread.load() != std::thread::id();
}

bool TtsMemoryCanvas::IsNestedUse(const void* owner) const {
    if (FOwnerThread.load() != std::this_thread::get_id()) return false;
    return owner != FOwner.load();
}

namespace {

// The slots are never destroyed: grids, controls and storages freed by late
// exit handlers still release into the canvases and the shared set.
std::unique_ptr<TtsMemoryCanvas>& CanvasSlot(std::size_t which) {
    static fw::TNoDestroy<std::array<std::unique_ptr<TtsMemoryCanvas>, 2>> canvases;
    return (*canvases)[which];
}

TtsMemoryCanvas& CanvasIn(std::size_t which) {
    std::unique_ptr<TtsMemoryCanvas>& slot = CanvasSlot(which);
    if (!slot) slot = std::make_unique<TtsMemoryCanvas>();
    return *slot;
}

} // namespace

TtsMemoryCanvas& GridMemoryCanvas() {
    return CanvasIn(0);
}

TtsMemoryCanvas& ControlMemoryCanvas() {
    return CanvasIn(1);
}

void CreateMemoryCanvases() {
    GridMemoryCanvas();
    ControlMemoryCanvas();
}

void FreeMemoryCanvases() {
    for (std::size_t which = 0; which < 2; ++which) {
        std::unique_ptr<TtsMemoryCanvas>& slot = CanvasSlot(which);
        // A painter still holding a share keeps its canvas.
        if (slot && slot->UseCount() == 0 && !slot->IsLocked()) slot.reset();
    }
}

// --- Shared bitmaps -----------------------------------------------------------------------

namespace {

std::unique_ptr<TtsBitmapSet>& SharedSet() {
    static fw::TNoDestroy<std::unique_ptr<TtsBitmapSet>> set;
    return *set;
}

int CompareAddresses(const void* key, const void* mine) {
    // Where the key lies: 0 below this element, 1 equal, 2 above.
    if (key == mine) return 1;
    return std::less<const void*>()(key, mine) ? 0 : 2;
}

} // namespace

TtsBitmapElement::TtsBitmapElement(fw::TBitmap* bitmap, bool owned)
    : Bitmap(bitmap), Owned(owned) {}

TtsBitmapElement::~TtsBitmapElement() {
    if (Owned) delete Bitmap;
}

int TtsBitmapElement::CompareKey(const TtsCustomSet&, const TtsSetElement& other) const {
    return CompareAddresses(static_cast<const TtsBitmapElement&>(other).Bitmap, Bitmap);
}

int TtsBitmapElement::CompareSearch(const TtsCustomSet&, const void* key, int) const {
    return CompareAddresses(key, Bitmap);
}

TtsBitmapElement* TtsBitmapSet::FindBitmap(const fw::TBitmap* bitmap) const {
    return static_cast<TtsBitmapElement*>(Find(bitmap));
}

TtsBitmapSet* SharedBitmaps() {
    return SharedSet().get();
}

TtsBitmapSet& EnsureSharedBitmaps() {
    if (!SharedSet()) SharedSet() = std::make_unique<TtsBitmapSet>();
    return *SharedSet();
}

void FreeSharedBitmaps() {
    SharedSet().reset();
}

TtsBitmapElement* FindSharedBitmap(const fw::TBitmap* bitmap) {
    return SharedBitmaps() ? SharedBitmaps()->FindBitmap(bitmap) : nullptr;
}

TtsBitmapElement* NewSharedBitmap() {
    auto owned = std::make_unique<fw::TBitmap>();
    TtsBitmapElement* e = FindOrAddBitmap(EnsureSharedBitmaps(), owned.get());
    e->Owned = true;
    owned.release(); // now the element's
    return e;
}

void SharedBitmapRef(fw::TBitmap* bitmap, bool release) {
    TtsBitmapSet* set = SharedBitmaps();
    if (!set) return;
    if (release) {
        ReleaseBitmap(*set, bitmap);
    } else if (TtsBitmapElement* e = set->FindBitmap(bitmap)) {
        ++e->RefCount;
    }
}

TtsBitmapElement* FindOrAddBitmap(TtsBitmapSet& set, fw::TBitmap* bitmap) {
    if (TtsBitmapElement* e = set.FindBitmap(bitmap)) return e;
    return static_cast<TtsBitmapElement*>(set.Add(std::make_unique<TtsBitmapElement>(bitmap)));
}

void ReleaseBitmap(TtsBitmapSet& set, fw::TBitmap* bitmap) {
    TtsBitmapElement* e = set.FindBitmap(bitmap);
    if (!e) return;
    if (--e->RefCount < 1) set.Remove(bitmap);
}

} // namespace vel
