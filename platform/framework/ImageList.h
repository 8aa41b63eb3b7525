#pragma once
// A list of equally sized images with transparency masks, drawn onto canvases
// normally, blended with a selection colour, greyed, or as their mask.
#include "Bitmap.h"
#include "Canvas.h"
#include "Classes.h"
#include "Graphics.h"

#include <cstdint>
#include <vector>

namespace fw {

// dsNormal draws on BkColor (transparent when it is clNone); dsTransparent
// always draws through the mask; dsFocus blends 25 % and dsSelected 50 %
// of the blend colour into the shown pixels.
enum class TDrawingStyle { dsFocus, dsNormal, dsSelected, dsTransparent };
using enum TDrawingStyle;

// itImage draws the picture, itMask its mask (black where the image shows).
enum class TImageType { itImage, itMask };
using enum TImageType;

class TImageList;

// One listener of an image list's changes; many controls may show one list.
class TChangeLink {
public:
    TChangeLink() = default;
    ~TChangeLink();
    TChangeLink(const TChangeLink&) = delete;
    TChangeLink& operator=(const TChangeLink&) = delete;
    TImageList* Sender() const { return FSender; }
    TNotifyEvent OnChange;

private:
    friend class TImageList;
    TImageList* FSender = nullptr;
};

// A component, so that controls showing its images can ask to be told when
// it goes (FreeNotification).
class TImageList : public TComponent {
public:
    // Fired after images are added, replaced, removed or resized away.
    TNotifyEvent OnChange;
    // Links are told of every change after OnChange; a link unregisters
    // itself when it goes, and the list lets go of its links when it goes.
    void RegisterChanges(TChangeLink* Link);
    void UnRegisterChanges(TChangeLink* Link);
    ~TImageList() override;

    explicit TImageList(TComponent* AOwner = nullptr, int width = 16, int height = 16);
    TImageList(int width, int height) : TImageList(nullptr, width, height) {}

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Changing the size drops every image.
    void SetSize(int width, int height);
    void SetWidth(int v) { SetSize(v, FHeight); }
    void SetHeight(int v) { SetSize(FWidth, v); }
    int Count() const { return static_cast<int>(FImages.size()); }

    TColor BkColor() const { return FBkColor; }
    void SetBkColor(TColor v) { FBkColor = v; }
    // clNone blends with the system highlight colour.
    TColor BlendColor() const { return FBlendColor; }
    void SetBlendColor(TColor v) { FBlendColor = v; }
    TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle v) { FDrawingStyle = v; }

    // Cuts `image` into Width()-wide cells from the left (image.Width() /
    // Width() of them) and appends them; rows below the image are
    // transparent. `mask` (may be null) hides the pixels where it is white.
    // Answers the index of the first new image, -1 when none fit.
    int Add(const TBitmap& image, const TBitmap* mask);
    // The same with the pixels of colour `maskColor` hidden (clNone: none).
    int AddMasked(const TBitmap& image, TColor maskColor);
    void Replace(int index, const TBitmap& image, const TBitmap* mask);
    void Delete(int index);
    void Clear();

    // Whether pixel (x, y) of image `index` shows.
    bool Shows(int index, int x, int y) const;
    // Makes `out` the image's size and copies its pixels, hidden ones in BkColor
    // (white when BkColor is clNone).
    void GetBitmap(int index, TBitmap& out) const;

    // Draws in DrawingStyle(); a disabled image is drawn greyed: its darker
    // pixels as a button-highlight shape offset by (1, 1) under a
    // button-shadow shape. Bad indexes draw nothing.
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;
    void Draw(TCanvas& canvas, int x, int y, int index, TDrawingStyle style, TImageType type,
              bool enabled = true) const;

protected:
    // Its links are let go of at once.
    void Withdraw() override;

private:
    void ReleaseLinks();
    struct TImage {
        TSurface Pixels;
        std::vector<std::uint8_t> Mask; // 1 where the image shows
    };
    TImage Cut(const TBitmap& image, const TBitmap* mask, int cell, TColor maskColor) const;
    void Changed();

    int FWidth;
    int FHeight;
    TColor FBkColor = clNone;
    TColor FBlendColor = clNone;
    TDrawingStyle FDrawingStyle = dsNormal;
    std::vector<TImage> FImages;
    std::vector<TChangeLink*> FLinks;
};

} // namespace fw
