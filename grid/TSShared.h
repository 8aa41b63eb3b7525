#pragma once
// The shared off-screen canvas that grids and in-cell controls paint into
// before copying to the screen, and the process-wide set of bitmaps that
// stored cells share by reference count.
#include "Bitmap.h"
#include "Canvas.h"
#include "TSSetLib.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vel {

class TtsMemoryCanvas {
public:
    TtsMemoryCanvas() = default;
    ~TtsMemoryCanvas() = default;
    TtsMemoryCanvas(const TtsMemoryCanvas&) = delete;
    TtsMemoryCanvas& operator=(const TtsMemoryCanvas&) = delete;

    // The off-screen picture, null while nobody uses the canvas.
    fw::TBitmap* DC() const { return FDC.get(); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int UseCount() const { return FUseCount; }

    // First use makes the picture; later uses grow it. One more user.
    void Acquire(int width, int height);
    // Grows to the largest width and height asked for; the contents are not kept.
    void Grow(int width, int height);
    // One user less; the last frees the picture.
    void Release();
    // A painter's share: taken on its first paint (InUse then set), grown on later ones.
    fw::TCanvas& Use(bool& InUse, int width, int height);
    void SetClipRect(const fw::TRect& r);

    // The lock nests on one thread: each Unlock gives it back to the owner before.
    void Lock(const void* owner);
    void Unlock();
    // True when this thread already holds the lock and its innermost owner is another object.
    bool IsNestedUse(const void* owner) const;
    // True while any thread holds the lock.
    bool IsLocked() const;

private:
    std::unique_ptr<fw::TBitmap> FDC;
    int FWidth = 0;
    int FHeight = 0;
    int FUseCount = 0;
    std::recursive_mutex FMutex;
    std::atomic<std::thread::id> FOwnerThread{};
    std::atomic<const void*> FOwner{nullptr};
    std::vector<const void*> FOwners; // outermost first; changed only under the lock
};

// Holds a canvas's lock for one painting object until the scope ends.
class TtsCanvasLock {
public:
    TtsCanvasLock(TtsMemoryCanvas& canvas, const void* owner) : FCanvas(canvas) {
        FCanvas.Lock(owner);
    }
    ~TtsCanvasLock() { FCanvas.Unlock(); }
    TtsCanvasLock(const TtsCanvasLock&) = delete;
    TtsCanvasLock& operator=(const TtsCanvasLock&) = delete;

private:
    TtsMemoryCanvas& FCanvas;
};

// The two canvases of the module: the grids' own and the in-cell controls'.
// The grid unit's start makes them; a program that never runs it gets them
// on first use.
TtsMemoryCanvas& GridMemoryCanvas();
TtsMemoryCanvas& ControlMemoryCanvas();
void CreateMemoryCanvases();
// The grid unit's end: frees each canvas nobody holds a share of or paints
// into (after the last grid and control, that is both).
void FreeMemoryCanvases();

// A shared bitmap keyed by its identity.
class TtsBitmapElement : public TtsSetElement {
public:
    explicit TtsBitmapElement(fw::TBitmap* bitmap, bool owned = false);
    ~TtsBitmapElement() override;

    fw::TBitmap* Bitmap = nullptr;
    std::int32_t RefCount = 0;
    std::int32_t Index = 0; // the number given while saving
    bool Owned = false;     // the element frees the bitmap

    int CompareKey(const TtsCustomSet& set, const TtsSetElement& other) const override;
    // The key is a `const fw::TBitmap*`.
    int CompareSearch(const TtsCustomSet& set, const void* key, int limit) const override;
};

class TtsBitmapSet : public TtsObjectSet {
public:
    TtsBitmapElement* FindBitmap(const fw::TBitmap* bitmap) const;
};

// The process-wide set, null until first use.
TtsBitmapSet* SharedBitmaps();
TtsBitmapSet& EnsureSharedBitmaps();
void FreeSharedBitmaps();

TtsBitmapElement* FindSharedBitmap(const fw::TBitmap* bitmap);
// A new empty bitmap owned by the shared set (no reference yet).
TtsBitmapElement* NewSharedBitmap();
void SharedBitmapRef(fw::TBitmap* bitmap, bool release);
TtsBitmapElement* FindOrAddBitmap(TtsBitmapSet& set, fw::TBitmap* bitmap);
void ReleaseBitmap(TtsBitmapSet& set, fw::TBitmap* bitmap);

} // namespace vel
