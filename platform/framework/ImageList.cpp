#include "ImageList.h"

#include <algorithm>

namespace fw {

namespace {

std::uint32_t Luma(std::uint32_t p) {
    const std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return (r * 30 + g * 59 + b * 11) / 100;
}

// (weight * a + (4 - weight) * b) / 4 per colour channel.
std::uint32_t Mix4(std::uint32_t a, std::uint32_t b, std::uint32_t weightA) {
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * weightA + cb * (4 - weightA)) / 4) << shift;
    }
    return out;
}

// Disabled images show their darker pixels only.
constexpr std::uint32_t GreyThreshold = 192;

} // namespace

TImageList::TImageList(TComponent* AOwner, int width, int height)
    : TComponent(AOwner), FWidth(std::clamp(width, 1, MaxBitmapSide)),
      FHeight(std::clamp(height, 1, MaxBitmapSide)) {}

TChangeLink::~TChangeLink() {
    if (FSender) FSender->UnRegisterChanges(this);
}

TImageList::~TImageList() {
    ReleaseLinks();
}

void TImageList::Withdraw() {
    ReleaseLinks();
    TComponent::Withdraw();
}

void TImageList::ReleaseLinks() {
    for (TChangeLink* L : FLinks)
        L->FSender = nullptr;
    FLinks.clear();
}

void TImageList::RegisterChanges(TChangeLink* Link) {
    if (!Link || Link->FSender == this) return;
    if (Link->FSender) Link->FSender->UnRegisterChanges(Link);
    Link->FSender = this;
    FLinks.push_back(Link);
}

void TImageList::UnRegisterChanges(TChangeLink* Link) {
    if (!Link || Link->FSender != this) return;
    std::erase(FLinks, Link);
    Link->FSender = nullptr;
}

void TImageList::Changed() {
    CallHandler(OnChange, this);
    const std::vector<TChangeLink*> Links = FLinks;
    for (TChangeLink* L : Links)
        if (std::find(FLinks.begin(), FLinks.end(), L) != FLinks.end())
            CallHandler(L->OnChange, this);
}

void TImageList::SetSize(int width, int height) {
    width = std::clamp(width, 1, MaxBitmapSide);
    height = std::clamp(height, 1, MaxBitmapSide);
    if (width == FWidth && height == FHeight) return;
    FWidth = width;
    FHeight = height;
    FImages.clear();
    Changed();
}

TImageList::TImage TImageList::Cut(const TBitmap& image, const TBitmap* mask, int cell,
                                   TColor maskColor) const {
    TImage img;
    img.Pixels.SetSize(FWidth, FHeight, 0xFF000000u);
    img.Mask.assign(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight), 0);
    const std::uint32_t key = ColorToPixel32(maskColor) & 0xFFFFFFu;
    const int x0 = cell * FWidth;
    const int rows = std::min(FHeight, image.Height());
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < FWidth; ++x) {
            const int sx = x0 + x;
            if (sx >= image.Width()) continue;
            const std::uint32_t p = image.Surface().Pixel(sx, y);
            bool shows = true;
            if (mask && sx < mask->Width() && y < mask->Height())
                shows = Luma(mask->Surface().Pixel(sx, y)) < 128;
            if (maskColor != clNone && (p & 0xFFFFFFu) == key) shows = false;
            img.Pixels.Row(y)[x] = p;
            img.Mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) +
                     static_cast<std::size_t>(x)] = shows ? 1 : 0;
        }
    }
    return img;
}

int TImageList::Add(const TBitmap& image, const TBitmap* mask) {
    const int cells = image.Width() / FWidth;
    if (cells <= 0 || image.Height() <= 0) return -1;
    const int first = Count();
    for (int i = 0; i < cells; ++i)
        FImages.push_back(Cut(image, mask, i, clNone));
    Changed();
    return first;
}

int TImageList::AddMasked(const TBitmap& image, TColor maskColor) {
    const int cells = image.Width() / FWidth;
    if (cells <= 0 || image.Height() <= 0) return -1;
    const int first = Count();
    for (int i = 0; i < cells; ++i)
        FImages.push_back(Cut(image, nullptr, i, maskColor));
    Changed();
    return first;
}

void TImageList::Replace(int index, const TBitmap& image, const TBitmap* mask) {
    if (index < 0 || index >= Count()) return;
    FImages[static_cast<std::size_t>(index)] = Cut(image, mask, 0, clNone);
    Changed();
}

void TImageList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FImages.erase(FImages.begin() + index);
    Changed();
}

void TImageList::Clear() {
    if (FImages.empty()) return;
    FImages.clear();
    Changed();
}

bool TImageList::Shows(int index, int x, int y) const {
    if (index < 0 || index >= Count() || x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return false;
    return FImages[static_cast<std::size_t>(index)]
               .Mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) +
                     static_cast<std::size_t>(x)] != 0;
}

void TImageList::GetBitmap(int index, TBitmap& out) const {
    if (index < 0 || index >= Count()) return;
    const TImage& img = FImages[static_cast<std::size_t>(index)];
    out.SetSize(FWidth, FHeight);
    TSurface pixels = img.Pixels;
    const std::uint32_t back = ColorToPixel32(FBkColor == clNone ? clWhite : FBkColor);
    for (std::size_t i = 0; i < img.Mask.size(); ++i)
        if (!img.Mask[i]) pixels.Pixels[i] = back;
    out.Canvas().DrawSurface(0, 0, pixels);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const {
    Draw(canvas, x, y, index, FDrawingStyle, itImage, enabled);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, TDrawingStyle style,
                      TImageType type, bool enabled) const {
    if (index < 0 || index >= Count()) return;
    const TImage& img = FImages[static_cast<std::size_t>(index)];
    TSurface pixels = img.Pixels;
    std::vector<std::uint8_t> mask = img.Mask;

    if (!enabled) {
        // Two flat shapes of the darker pixels: highlight below right, shadow on top.
        std::vector<std::uint8_t> dark(mask.size(), 0);
        for (std::size_t i = 0; i < mask.size(); ++i)
            dark[i] = mask[i] && Luma(pixels.Pixels[i]) < GreyThreshold;
        TSurface flat;
        flat.SetSize(FWidth, FHeight, ColorToPixel32(clBtnHighlight));
        canvas.DrawSurface(x + 1, y + 1, flat, dark.data());
        flat.SetSize(FWidth, FHeight, ColorToPixel32(clBtnShadow));
        canvas.DrawSurface(x, y, flat, dark.data());
        return;
    }
    if (type == itMask) {
        for (std::size_t i = 0; i < mask.size(); ++i)
            pixels.Pixels[i] = mask[i] ? 0xFF000000u : 0xFFFFFFFFu;
        canvas.DrawSurface(x, y, pixels, nullptr);
        return;
    }
    if (style == dsFocus || style == dsSelected) {
        const std::uint32_t blend =
            ColorToPixel32(FBlendColor == clNone ? clHighlight : FBlendColor);
        const std::uint32_t weight = style == dsFocus ? 3 : 2;
        for (std::size_t i = 0; i < mask.size(); ++i)
            if (mask[i]) pixels.Pixels[i] = Mix4(pixels.Pixels[i], blend, weight);
    }
    if (style != dsTransparent && FBkColor != clNone) {
        const std::uint32_t back = ColorToPixel32(FBkColor);
        for (std::size_t i = 0; i < mask.size(); ++i)
            if (!mask[i]) {
                pixels.Pixels[i] = back;
                mask[i] = 1;
            }
    }
    canvas.DrawSurface(x, y, pixels, mask.data());
}

} // namespace fw
