#include "Bitmap32.h"

#include "ScopeExit.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <typeinfo>

namespace vel {
namespace {

// Guards every object's lock counter.
std::mutex& CounterLock() {
    static std::mutex m;
    return m;
}

// Holds back OnChange for a scope.
auto UpdateScope(TThreadPersistent& P) {
    return fw::EnterScope([&P] { P.BeginUpdate(); }, [&P] { P.EndUpdate(); });
}

// MulDiv's rounding (half up in magnitude, then the sign) on 64-bit
// operands; the product is taken in 128 bits so that it cannot overflow.
std::int64_t MulDiv64(std::int64_t A, std::int64_t B, std::int64_t C) {
    if (C == 0) return 0;
    using U = unsigned __int128;
    const U a = static_cast<U>(A < 0 ? -static_cast<__int128>(A) : A);
    const U b = static_cast<U>(B < 0 ? -static_cast<__int128>(B) : B);
    const U c = static_cast<U>(C < 0 ? -static_cast<__int128>(C) : C);
    const U p = a * b;
    U q = p / c;
    const U r = p % c;
    if (c - r <= r) ++q;
    const bool negative = ((A < 0) != (B < 0)) != (C < 0);
    const auto result = static_cast<__int128>(q);
    return static_cast<std::int64_t>(negative ? -result : result);
}

int ClampToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t Get32(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint32_t>(d[at]) | (static_cast<std::uint32_t>(d[at + 1]) << 8) |
           (static_cast<std::uint32_t>(d[at + 2]) << 16) |
           (static_cast<std::uint32_t>(d[at + 3]) << 24);
}

} // namespace

// ------------------------------------------------------ TThreadPersistent

TThreadPersistent::TThreadPersistent() = default;
TThreadPersistent::~TThreadPersistent() = default;

void TThreadPersistent::BeginUpdate() {
    ++FUpdateCount;
}

void TThreadPersistent::EndUpdate() {
    if (FUpdateCount < 1) throw std::logic_error("Unpaired TThreadPersistent.EndUpdate");
    --FUpdateCount;
}

void TThreadPersistent::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TThreadPersistent::Lock() {
    {
        std::lock_guard<std::mutex> g(CounterLock());
        ++FLockCount;
    }
    FLock.lock();
}

void TThreadPersistent::Unlock() {
    FLock.unlock();
    std::lock_guard<std::mutex> g(CounterLock());
    --FLockCount;
}

int TThreadPersistent::LockCount() const {
    std::lock_guard<std::mutex> g(CounterLock());
    return FLockCount;
}

// ------------------------------------------------------------- TCustomMap

void TCustomMap::Resized() {
    fw::CallHandler(OnResize, this);
}

bool TCustomMap::SetSize(int NewWidth, int NewHeight) {
    const bool changed = NewWidth != FWidth || NewHeight != FHeight;
    FWidth = NewWidth;
    FHeight = NewHeight;
    return changed;
}

// -------------------------------------------------------------- TBitmap32

TBitmap32::TBitmap32() : FFont(std::make_unique<fw::TFont>()) {
    FFont->OnChange = [this](fw::TObject*) { FontChanged(); };
}

TBitmap32::~TBitmap32() {
    // Whoever listened may be going away too: nothing fires from here on.
    OnChange = nullptr;
    OnResize = nullptr;
    OnHandleChanged = nullptr;
    BeginUpdate();
    auto lock = fw::LockScope(*this);
    FFont.reset();
    SetSize(0, 0);
}

bool TBitmap32::Empty() const {
    return !FHandle || FWidth == 0 || FHeight == 0;
}

bool TBitmap32::SetSize(int NewWidth, int NewHeight) {
    NewWidth = std::max(NewWidth, 0);
    NewHeight = std::max(NewHeight, 0);
    if (NewWidth == FWidth && NewHeight == FHeight) return false;
    FontChanged();
    FDC.reset();
    FHandle.reset();
    FBits = nullptr;
    FWidth = FHeight = 0;
    FBitmapInfo.biWidth = 0;
    FBitmapInfo.biHeight = 0;
    if (NewWidth >= 1 && NewHeight >= 1) {
        FBitmapInfo.biWidth = NewWidth;
        FBitmapInfo.biHeight = -NewHeight;
        if (!fw::BitmapSizeInRange(NewWidth, NewHeight))
            throw std::runtime_error("Can't allocate the DIB handle");
        auto surface = std::make_unique<fw::TSurface>();
        try {
            surface->SetSize(NewWidth, NewHeight, 0);
        } catch (const std::bad_alloc&) {
            throw std::runtime_error("Can't allocate the DIB handle");
        }
        auto dc = std::make_unique<fw::TCanvas>();
        dc->Attach(surface.get(), fw::TPoint{}, fw::TRect{0, 0, NewWidth, NewHeight});
        FHandle = std::move(surface);
        FDC = std::move(dc);
        FBits = FHandle->Pixels.data();
    }
    FWidth = NewWidth;
    FHeight = NewHeight;
    HandleChanged();
    Changed();
    Resized();
    return true;
}

void TBitmap32::HandleChanged() {
    fw::CallHandler(OnHandleChanged, this);
}

void TBitmap32::FontChanged() {
    if (!FFontSelected) return;
    if (FDC) FDC->Font().Assign(fw::TFont{}); // the stock font goes back in
    FFontSelected = false;
}

void TBitmap32::UpdateFont() {
    if (!FDC || !FFont) return;
    FDC->Font().Assign(*FFont);
    FFontSelected = true;
}

void TBitmap32::SetDrawMode(TDrawMode Value) {
    if (Value == FDrawMode) return;
    FDrawMode = Value;
    Changed();
}

void TBitmap32::SetMasterAlpha(std::uint32_t Value) {
    Value = std::min<std::uint32_t>(Value, 255);
    if (Value == FMasterAlpha) return;
    FMasterAlpha = Value;
    Changed();
}

void TBitmap32::SetStretchFilter(TStretchFilter Value) {
    if (Value == FStretchFilter) return;
    FStretchFilter = Value;
    Changed();
}

void TBitmap32::Clear(TColor32 FillColor) {
    if (!Empty()) FillLongword(FBits, FWidth * FHeight, FillColor);
    Changed();
}

void TBitmap32::SetPixelS(int X, int Y, TColor32 Value) {
    if (X >= 0 && X < FWidth && Y >= 0 && Y < FHeight) SetPixel(X, Y, Value);
}

void TBitmap32::HorzLine(int X1, int Y, int X2, TColor32 Value) {
    FillLongword(PixelPtr(X1, Y), X2 - X1 + 1, Value);
}

void TBitmap32::VertLine(int X, int Y1, int Y2, TColor32 Value) {
    for (std::int64_t y = Y1; y <= Y2; ++y)
        SetPixel(X, static_cast<int>(y), Value);
}

void TBitmap32::Line(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L) {
    std::int64_t dx = std::int64_t{X2} - X1;
    std::int64_t dy = std::int64_t{Y2} - Y1;
    if (dx == 0 || dy == 0) {
        if (dx == 0) {
            if (dy > 0)
                VertLine(X1, Y1, Y2 - 1, Value);
            else if (dy < 0)
                VertLine(X1, Y2 + 1, Y1, Value);
        } else if (X1 < X2) {
            HorzLine(X1, Y1, X2 - 1, Value);
        } else {
            HorzLine(X2 + 1, Y1, X1, Value);
        }
        if (L) SetPixel(X2, Y2, Value);
        Changed();
        return;
    }
    const int sx = dx > 0 ? 1 : -1;
    const int sy = dy > 0 ? 1 : -1;
    dx = std::abs(dx);
    dy = std::abs(dy);
    int x = X1, y = Y1;
    if (dx > dy) {
        std::int64_t e = dx >> 1;
        for (std::int64_t i = 0; i < dx; ++i) {
            SetPixel(x, y, Value);
            x += sx;
            e += dy;
            if (e > dx) {
                y += sy;
                e -= dx;
            }
        }
    } else {
        std::int64_t e = dy >> 1;
        for (std::int64_t i = 0; i < dy; ++i) {
            SetPixel(x, y, Value);
            y += sy;
            e += dx;
            if (e > dy) {
                x += sx;
                e -= dy;
            }
        }
    }
    if (L) SetPixel(x, y, Value);
    Changed();
}

void TBitmap32::LineS(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L) {
    if (ClipLine(X1, Y1, X2, Y2, 0, 0, FWidth - 1, FHeight - 1)) Line(X1, Y1, X2, Y2, Value, L);
}

void TBitmap32::FillRect(int X1, int Y1, int X2, int Y2, TColor32 Value) {
    for (int y = Y1; y < Y2; ++y)
        FillLongword(PixelPtr(X1, y), X2 - X1, Value);
    Changed();
}

void TBitmap32::FillRectS(int X1, int Y1, int X2, int Y2, TColor32 Value) {
    if (X2 <= X1 || Y2 <= Y1 || X1 >= FWidth || Y1 >= FHeight || X2 < 1 || Y2 < 1) return;
    FillRect(std::max(X1, 0), std::max(Y1, 0), std::min(X2, FWidth), std::min(Y2, FHeight), Value);
}

void TBitmap32::ResetAlpha() {
    if (!Empty()) {
        TColor32* p = FBits;
        const std::size_t n = static_cast<std::size_t>(FWidth) * FHeight;
        for (std::size_t i = 0; i < n; ++i)
            p[i] |= 0xFF000000u;
    }
    Changed();
}

void TBitmap32::Textout(int X, int Y, std::string_view Text) {
    if (Empty()) return;
    UpdateFont();
    FDC->SetBkMode(fw::bkTransparent);
    FDC->TextOut(X, Y, Text);
    Changed();
}

void TBitmap32::DrawTo(TBitmap32& Dst, int DstX, int DstY) {
    if (Empty() || Dst.Empty()) return;
    BlockTransfer(&Dst, DstX, DstY, this, fw::TRect{0, 0, FWidth, FHeight}, FDrawMode,
                  OnPixelCombine);
    Dst.Changed();
}

void TBitmap32::DrawTo(fw::TCanvas& Canvas, int DstX, int DstY) {
    if (Empty()) return;
    Canvas.BitBlt(DstX, DstY, FWidth, FHeight, *FDC, 0, 0, fw::SRCCOPY);
}

void TBitmap32::Assign(const TBitmap32* Source) {
    if (Source == this) return;
    {
        auto update = UpdateScope(*this);
        if (!Source) {
            SetSize(0, 0);
        } else {
            SetSize(Source->Width(), Source->Height());
            if (!Empty()) {
                FDC->BitBlt(0, 0, FWidth, FHeight, *Source->FDC, 0, 0, fw::SRCCOPY);
                FDrawMode = Source->FDrawMode;
                FMasterAlpha = Source->FMasterAlpha;
                FOuterColor = Source->FOuterColor;
                FStretchFilter = Source->FStretchFilter;
            }
        }
    }
    Changed();
}

void TBitmap32::Assign(const fw::TBitmap& Source) {
    {
        auto update = UpdateScope(*this);
        SetSize(Source.Width(), Source.Height());
        if (!Empty()) {
            FDC->BitBlt(0, 0, FWidth, FHeight, Source.Canvas(), 0, 0, fw::SRCCOPY);
            if (Source.PixelFormat() != fw::pf32bit) ResetAlpha();
        }
    }
    Changed();
}

void TBitmap32::Assign(const fw::TPicture& Source) {
    if (Source.HasGraphic()) {
        Assign(const_cast<fw::TPicture&>(Source).Bitmap());
        return;
    }
    Assign(static_cast<const TBitmap32*>(nullptr));
}

void TBitmap32::AssignTo(fw::TBitmap& Dest) const {
    Dest.SetPixelFormat(fw::pf32bit);
    Dest.SetSize(FWidth, FHeight);
    const_cast<TBitmap32*>(this)->DrawTo(Dest.Canvas(), 0, 0);
}

void TBitmap32::AssignTo(fw::TPicture& Dest) const {
    AssignTo(Dest.Bitmap());
}

std::vector<std::uint8_t> TBitmap32::WriteData() const {
    std::vector<std::uint8_t> out;
    const std::size_t n = Empty() ? 0 : static_cast<std::size_t>(FWidth) * FHeight;
    out.reserve(sizeof(TBitmap32DataHeader) + n * 4);
    Put32(out, static_cast<std::uint32_t>(FWidth));
    Put32(out, static_cast<std::uint32_t>(FHeight));
    for (std::size_t i = 0; i < n; ++i)
        Put32(out, FBits[i]);
    return out;
}

void TBitmap32::ReadData(std::span<const std::uint8_t> Data) {
    if (Data.size() < sizeof(TBitmap32DataHeader))
        throw EBitmap32DataError("Bitmap data is shorter than its 8-byte size header");
    const auto w = static_cast<std::int32_t>(Get32(Data, 0));
    const auto h = static_cast<std::int32_t>(Get32(Data, 4));
    if (w < 0 || h < 0)
        throw EBitmap32DataError("Bitmap data has a negative size " + std::to_string(w) + " x " +
                                 std::to_string(h));
    // Both sides below 2^31: the byte count fits in 64 bits.
    const std::uint64_t pixels = (w == 0 || h == 0) ? 0 : std::uint64_t(w) * std::uint64_t(h);
    const std::uint64_t have = Data.size() - sizeof(TBitmap32DataHeader);
    if (have != pixels * 4)
        throw EBitmap32DataError("Bitmap data of " + std::to_string(w) + " x " + std::to_string(h) +
                                 " pixels needs " + std::to_string(pixels * 4) +
                                 " bytes but holds " + std::to_string(have));
    // SetSize would refuse it only after letting go of the picture held now.
    if (pixels != 0 && !fw::BitmapSizeInRange(w, h))
        throw EBitmap32DataError("Bitmap data of " + std::to_string(w) + " x " + std::to_string(h) +
                                 " pixels is too large");
    SetSize(w, h);
    if (!Empty())
        for (std::size_t i = 0; i < pixels; ++i)
            FBits[i] = Get32(Data, sizeof(TBitmap32DataHeader) + i * 4);
    Changed();
}

bool TBitmap32::WantsData(const TBitmap32* Ancestor) const {
    if (!Ancestor) return !Empty();
    const bool same = (Empty() && Ancestor->Empty()) ||
                      (typeid(*this) == typeid(*Ancestor) && WriteData() == Ancestor->WriteData());
    return !same;
}

// ---------------------------------------------------------- free routines

void BlockTransfer(TBitmap32* Dst, int DstX, int DstY, TBitmap32* Src, fw::TRect SrcRect,
                   TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    if (!Dst || Dst->Empty()) throw ETransformError("Destination bitmap is nil or empty");
    if (!Src || Src->Empty()) throw ETransformError("Source bitmap is nil or empty");
    if (CombineOp == dmCustom && !CombineCallBack) CombineOp = dmOpaque;
    if (CombineOp == dmOpaque) {
        Dst->DC()->BitBlt(DstX, DstY, SrcRect.Width(), SrcRect.Height(), *Src->DC(), SrcRect.Left,
                          SrcRect.Top, fw::SRCCOPY);
        return;
    }
    const std::uint32_t master = Src->MasterAlpha();
    if (CombineOp == dmBlend && master == 0) return;
    fw::TRect sr;
    IntersectRect(sr, SrcRect, MakeRect(0, 0, Src->Width(), Src->Height()));
    const int dx = DstX - SrcRect.Left;
    const int dy = DstY - SrcRect.Top;
    OffsetRect(sr, dx, dy);
    fw::TRect dr;
    IntersectRect(dr, sr, MakeRect(0, 0, Dst->Width(), Dst->Height()));
    if (IsRectEmpty(dr)) return;
    const int n = dr.Right - dr.Left;
    for (int y = dr.Top; y < dr.Bottom; ++y) {
        const TColor32* s = Src->PixelPtr(dr.Left - dx, y - dy);
        TColor32* d = Dst->PixelPtr(dr.Left, y);
        if (CombineOp == dmCustom) {
            for (int i = 0; i < n; ++i)
                CombineCallBack(s[i], d[i], master);
        } else if (master < 255) {
            BlendLineEx(s, d, n, master);
        } else {
            BlendLine(s, d, n);
        }
    }
}

int MulDiv(int A, int B, int C) {
    const std::uint64_t a = static_cast<std::uint64_t>(std::abs(std::int64_t{A}));
    const std::uint64_t b = static_cast<std::uint64_t>(std::abs(std::int64_t{B}));
    const std::uint64_t c = static_cast<std::uint64_t>(std::abs(std::int64_t{C}));
    const std::uint64_t p = a * b;
    if (2 * (p >> 32) >= c) return -1;
    std::uint64_t q = p / c;
    const std::uint64_t r = p % c;
    if (c - r <= r) ++q;
    if (q > static_cast<std::uint64_t>(INT_MAX)) return -1;
    const bool negative = ((A ^ B ^ C) < 0);
    return negative ? -static_cast<int>(q) : static_cast<int>(q);
}

bool ClipLine(int& X1, int& Y1, int& X2, int& Y2, int MinX, int MinY, int MaxX, int MaxY) {
    // An empty bitmap's rectangle holds nothing; the clip below would still
    // land its ends on the edges.
    if (MaxX < MinX || MaxY < MinY) return false;
    std::int64_t x1 = X1, y1 = Y1, x2 = X2, y2 = Y2;
    auto xcode = [&](std::int64_t x) {
        int c = 0;
        if (x < MinX) c |= 1;
        if (x > MaxX) c |= 2;
        return c;
    };
    auto code = [&](std::int64_t x, std::int64_t y) {
        int c = xcode(x);
        if (y < MinY) c |= 4;
        if (y > MaxY) c |= 8;
        return c;
    };
    int c1 = code(x1, y1);
    int c2 = code(x2, y2);
    if (!(c1 & c2) && (c1 | c2)) {
        if (c1 & 12) {
            const std::int64_t yc = c1 < 8 ? MinY : MaxY;
            x1 += MulDiv64(yc - y1, x2 - x1, y2 - y1);
            y1 = yc;
            c1 = xcode(x1);
        }
        if (c2 & 12) {
            const std::int64_t yc = c2 < 8 ? MinY : MaxY;
            x2 += MulDiv64(yc - y2, x1 - x2, y1 - y2);
            y2 = yc;
            c2 = xcode(x2);
        }
        if (!(c1 & c2) && (c1 | c2)) {
            if (c1) {
                const std::int64_t xc = c1 == 1 ? MinX : MaxX;
                y1 += MulDiv64(xc - x1, y2 - y1, x2 - x1);
                x1 = xc;
                c1 = 0;
            }
            if (c2) {
                const std::int64_t xc = c2 == 1 ? MinX : MaxX;
                y2 += MulDiv64(xc - x2, y1 - y2, x1 - x2);
                x2 = xc;
                c2 = 0;
            }
        }
    }
    const bool inside = c1 == 0 && c2 == 0;
    if (inside) {
        // Interpolation keeps the ends inside; the clamp makes it certain.
        x1 = std::clamp<std::int64_t>(x1, MinX, MaxX);
        x2 = std::clamp<std::int64_t>(x2, MinX, MaxX);
        y1 = std::clamp<std::int64_t>(y1, MinY, MaxY);
        y2 = std::clamp<std::int64_t>(y2, MinY, MaxY);
    }
    X1 = ClampToInt(x1);
    Y1 = ClampToInt(y1);
    X2 = ClampToInt(x2);
    Y2 = ClampToInt(y2);
    return inside;
}

void FillLongword(TColor32* Dest, int Count, TColor32 Value) {
    if (Count <= 0) return;
    std::fill_n(Dest, Count, Value);
}

fw::TPoint MakePoint(int X, int Y) {
    return fw::TPoint{X, Y};
}

fw::TRect MakeRect(int Left, int Top, int Right, int Bottom) {
    return fw::TRect{Left, Top, Right, Bottom};
}

bool IntersectRect(fw::TRect& Dst, const fw::TRect& R1, const fw::TRect& R2) {
    fw::TRect r{std::max(R1.Left, R2.Left), std::max(R1.Top, R2.Top), std::min(R1.Right, R2.Right),
                std::min(R1.Bottom, R2.Bottom)};
    if (r.Right >= r.Left && r.Bottom >= r.Top) {
        Dst = r;
        return true;
    }
    Dst = fw::TRect{};
    return false;
}

void OffsetRect(fw::TRect& R, int Dx, int Dy) {
    R.Left += Dx;
    R.Right += Dx;
    R.Top += Dy;
    R.Bottom += Dy;
}

bool IsRectEmpty(const fw::TRect& R) {
    return R.Right <= R.Left || R.Bottom <= R.Top;
}

} // namespace vel
