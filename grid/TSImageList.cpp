#include "TSImageList.h"

#include "Filer.h"
#include "MaskEdit.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <random>

namespace vel {

namespace {

std::string Trim(const std::string& S) {
    std::size_t B = S.find_first_not_of(" \t");
    if (B == std::string::npos) return {};
    std::size_t E = S.find_last_not_of(" \t");
    return S.substr(B, E - B + 1);
}

std::string Lower(std::string S) {
    for (char& C : S)
        C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return S;
}

bool SameText(const std::string& A, const std::string& B) {
    return Lower(Trim(A)) == Lower(Trim(B));
}

std::string NewGuidText() {
    static std::mt19937_64 Rng(std::random_device{}());
    std::uint64_t A = Rng(), B = Rng();
    char Buf[40];
    std::snprintf(Buf, sizeof Buf, "{%08X-%04X-%04X-%04X-%012llX}", static_cast<unsigned>(A >> 32),
                  static_cast<unsigned>((A >> 16) & 0xFFFF), static_cast<unsigned>(A & 0xFFFF),
                  static_cast<unsigned>(B >> 48),
                  static_cast<unsigned long long>(B & 0xFFFFFFFFFFFFULL));
    return Buf;
}

} // namespace

void SplitImageKey(const std::string& Key, std::string& Set, std::string& Name) {
    std::size_t Dot = Key.find('.');
    if (Dot == std::string::npos) {
        Set.clear();
        Name = Trim(Key);
    } else {
        Set = Trim(Key.substr(0, Dot));
        Name = Trim(Key.substr(Dot + 1));
    }
}

// ---- TtsImage ----

TtsImage::TtsImage(TtsImageCollection* Collection)
    : FCollection(Collection), FBitmap(std::make_unique<fw::TBitmap>()) {}

TtsImage::~TtsImage() = default;

void TtsImage::SetBitmap(const fw::TBitmap* Value) {
    if (!Value || Value->Empty()) return;
    auto Copy = std::make_unique<fw::TBitmap>();
    Copy->Assign(*Value);
    FBitmap = std::move(Copy);
    FBitmap->SetTransparent(FTransparent);
    Changed();
}

void TtsImage::Rename(const std::string& NewName, const std::string& NewSet) {
    if (Trim(NewName) == Trim(FName) && Trim(NewSet) == Trim(FSetName)) return;
    if (FCollection) {
        for (int I = 0; I < FCollection->Count(); ++I) {
            TtsImage* Other = FCollection->Items(I);
            if (Other != this && SameText(Other->FName, NewName) &&
                SameText(Other->FSetName, NewSet)) {
                if (Trim(NewSet).empty())
                    throw EListError("Name '" + Trim(NewName) + "' already exists in main set.");
                throw EListError("Name '" + Trim(NewName) + "' already exists in set '" +
                                 Trim(NewSet) + "'.");
            }
        }
        FCollection->AddSetName(Trim(NewSet));
    }
    FName = Trim(NewName);
    FSetName = Trim(NewSet);
    Changed();
}

void TtsImage::SetName(const std::string& Value) {
    if (FCollection && FCollection->Reading()) {
        FName = Value;
        return;
    }
    if (Value.find('.') != std::string::npos) {
        std::string Set, Name;
        SplitImageKey(Value, Set, Name);
        Rename(Name, Set);
    } else {
        Rename(Value, FSetName);
    }
}

void TtsImage::SetSetName(const std::string& Value) {
    if (FCollection && FCollection->Reading()) {
        FSetName = Value;
        return;
    }
    Rename(FName, Value);
}

void TtsImage::SetTransparent(bool Value) {
    FTransparent = Value;
    FBitmap->SetTransparent(Value);
    Changed();
}

fw::TColor TtsImage::TransparentColor() const {
    if (FTransparentMode == TtsTransparentMode::tmFixed) return FTransparentColor;
    if (FBitmap->Empty()) return fw::clNone;
    return FBitmap->Canvas().Pixels(0, FBitmap->Height() - 1);
}

void TtsImage::SetTransparentColor(fw::TColor Value) {
    FBitmap->SetTransparentColor(Value);
    FTransparentColor = Value;
    Changed();
}

void TtsImage::SetTransparentMode(TtsTransparentMode Value) {
    FTransparentMode = Value;
    FBitmap->SetTransparentMode(Value == TtsTransparentMode::tmFixed ? fw::tmFixed : fw::tmAuto);
    FTransparentColor = FBitmap->TransparentColor();
    Changed();
}

void TtsImage::Assign(const TtsImage& Source) {
    auto Copy = std::make_unique<fw::TBitmap>();
    Copy->Assign(*Source.FBitmap);
    FBitmap = std::move(Copy);
    if (FCollection) FCollection->AddSetName(Source.FSetName);
    FSetName = Source.FSetName;
    FName = Source.FName;
    // The ID is the image's identity in its collection: taken over unless
    // another image there holds it already.
    if (!FCollection || FCollection->TakeID(this, Source.FID)) FID = Source.FID;
    FTransparent = Source.FTransparent;
    FTransparentColor = Source.FTransparentColor;
    FTransparentMode = Source.FTransparentMode;
    Changed();
}

void TtsImage::Changed() {
    if (UpdateCount == 0 && FCollection && FCollection->Owner())
        FCollection->Owner()->ImageChanged(this);
}

// ---- TtsImageCollection ----

TtsImage* TtsImageCollection::Add() {
    FItems.push_back(std::make_unique<TtsImage>(this));
    FItems.back()->SetID(FNextID++);
    return FItems.back().get();
}

bool TtsImageCollection::TakeID(const TtsImage* Image, int ID) {
    for (const auto& Other : FItems)
        if (Other.get() != Image && Other->ID() == ID) return false;
    FNextID = std::max(FNextID, ID + 1);
    return true;
}

bool TtsImageCollection::Reading() const {
    return FReading || (FOwner && FOwner->InState(fw::TComponentStateItem::Loading));
}

void TtsImageCollection::Delete(int Index) {
    if (Index >= 0 && Index < Count()) FItems.erase(FItems.begin() + Index);
}

void TtsImageCollection::Clear() {
    FItems.clear();
    FSetNames.clear();
}

void TtsImageCollection::AddSetName(const std::string& Name) {
    if (Name.empty()) return;
    for (const std::string& S : FSetNames)
        if (SameText(S, Name)) return;
    FSetNames.push_back(Name);
}

// ---- links ----

TtsImageLink::~TtsImageLink() {
    SetImageList(nullptr);
}

void TtsImageLink::SetImageList(TtsImageListComponent* Value) {
    if (FImageList == Value) return;
    if (FImageList) FImageList->DetachLink(this);
    if (Value) Value->AttachLink(this);
}

// ---- TtsImageList ----

TtsImageListComponent::~TtsImageListComponent() {
    DetachAllLinks();
}

void TtsImageListComponent::AttachLink(TtsImageLink* Link) {
    // A link names one list: it leaves the one it was on.
    if (Link->FImageList && Link->FImageList != this) Link->FImageList->DetachLink(Link);
    Link->FImageList = this;
    if (std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end()) FLinks.push_back(Link);
}

void TtsImageListComponent::DetachLink(TtsImageLink* Link) {
    Link->FImageList = nullptr;
    FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), Link), FLinks.end());
}

void TtsImageListComponent::LinksChanged() {
    // A link may detach itself (or another) while it is told.
    std::vector<TtsImageLink*> Copy = FLinks;
    for (TtsImageLink* L : Copy)
        if (std::find(FLinks.begin(), FLinks.end(), L) != FLinks.end()) L->ImageListChanged();
}

void TtsImageListComponent::DetachAllLinks() {
    while (!FLinks.empty()) {
        TtsImageLink* Link = FLinks.back();
        DetachLink(Link);
        Link->ImageListFreed();
    }
}

// ---- TtsImageList ----

TtsImageList::TtsImageList(fw::TComponent* AOwner)
    : TtsImageListComponent(AOwner), FGUID(NewGuidText()) {}

TtsImageList::~TtsImageList() {
    DetachAllLinks();
}

void TtsImageList::ImageChanged(TtsImage* Image) {
    fw::CallHandler(OnChange, this, Image);
    LinksChanged();
}

int TtsImageList::Count() const {
    return FImages.Count();
}

int TtsImageList::IndexOfName(const TtsVariant& Key) const {
    std::string Set, Name;
    SplitImageKey(VarToText(Key), Set, Name);
    for (int I = 0; I < FImages.Count(); ++I) {
        const TtsImage* Img = FImages.Items(I);
        if (SameText(Img->Name(), Name) && SameText(Img->SetName(), Set)) return I;
    }
    return -1;
}

int TtsImageList::Lookup(const TtsVariant& Key) const {
    if (FImages.Count() == 0) return -1;
    if (std::holds_alternative<std::string>(Key)) {
        int I = IndexOfName(Key);
        if (I < 0)
            throw EListError("Index '" + std::get<std::string>(Key) + "' not found in imagelist.");
        return I;
    }
    int I = VarAsInteger(Key);
    if (I < 0 || I >= FImages.Count())
        throw EListError("Index (" + std::to_string(I) + ") out of bounds.");
    return I;
}

TtsImage* TtsImageList::GetImage(const TtsVariant& Key) const {
    int I = Lookup(Key);
    return I < 0 ? nullptr : FImages.Items(I);
}

void TtsImageList::SetImage(const TtsVariant& Key, const TtsImageItem& Image) {
    int I = Lookup(Key);
    if (I < 0) return;
    if (const auto* Source = dynamic_cast<const TtsImage*>(&Image)) FImages.Items(I)->Assign(*Source);
}

bool TtsImageList::IsValidKey(const TtsVariant& Key) const {
    if (VarIsEmpty(Key) || VarIsNull(Key)) return false;
    if (std::holds_alternative<std::string>(Key)) return IndexOfName(Key) >= 0;
    if (!IsNumericVarType(Key)) return false;
    int I = VarAsInteger(Key);
    return I >= 0 && I < FImages.Count();
}

int TtsImageList::IndexOfID(int ID) const {
    for (int I = 0; I < FImages.Count(); ++I)
        if (FImages.Items(I)->ID() == ID) return I;
    return -1;
}

TtsVariant TtsImageList::StepImage(const TtsVariant& Key, int Step) const {
    const int N = FImages.Count();
    if (std::holds_alternative<std::string>(Key)) {
        const std::string& S = std::get<std::string>(Key);
        if (S.empty()) return std::int32_t(Step < 0 ? N - 1 : 0);
        int Start = IndexOfName(Key);
        if (Start < 0) return std::int32_t(-1);
        const std::string& Set = FImages.Items(Start)->SetName();
        for (int K = 1; K < N; ++K) {
            int I = ((Start + Step * K) % N + N) % N;
            if (SameText(FImages.Items(I)->SetName(), Set)) return std::int32_t(I);
        }
        return std::int32_t(Start);
    }
    if (N == 0) return std::int32_t(-1);
    int I = VarAsInteger(Key) + Step;
    if (I >= N) I = 0;
    if (I < 0) I = N - 1;
    return std::int32_t(I);
}

TtsVariant TtsImageList::NextImage(const TtsVariant& Key) const {
    return StepImage(Key, 1);
}

TtsVariant TtsImageList::PrevImage(const TtsVariant& Key) const {
    return StepImage(Key, -1);
}

void TtsImageList::Assign(const TtsImageList& Source) {
    if (&Source == this) return;
    FImages.Clear();
    for (int I = 0; I < Source.FImages.Count(); ++I) {
        TtsImage* Img = FImages.Add();
        ++Img->UpdateCount;
        Img->Assign(*Source.FImages.Items(I));
        --Img->UpdateCount;
    }
    for (const std::string& S : Source.FImages.SetNames())
        FImages.AddSetName(S);
    FImages.SetOwner(this);
    LinksChanged();
}

std::string TtsImageList::SetNamesText() const {
    std::string R;
    for (const std::string& S : FImages.SetNames()) {
        if (!R.empty()) R += ',';
        R += S;
    }
    return R;
}

void TtsImageList::DefineProperties(fw::TFiler& Filer) {
    TtsImageListComponent::DefineProperties(Filer);
    auto TextOf = [](const fw::TFilerValue& Value, const char* Name) {
        const auto* Text = std::get_if<std::string>(&Value);
        if (!Text) throw fw::EReadError(std::string("Stream read error: ") + Name + " is a text");
        return *Text;
    };
    Filer.DefineProperty(
        "GUID", [this, TextOf](const fw::TFilerValue& V) { FGUID = TextOf(V, "GUID"); },
        [this] { return fw::TFilerValue(FGUID); }, !FGUID.empty());
    Filer.DefineProperty(
        "SetNames",
        [this, TextOf](const fw::TFilerValue& V) {
            const std::string Text = TextOf(V, "SetNames");
            FImages.SetNames().clear();
            std::size_t Start = 0;
            for (std::size_t Comma; (Comma = Text.find(',', Start)) != std::string::npos;
                 Start = Comma + 1)
                FImages.AddSetName(Trim(Text.substr(Start, Comma - Start)));
            FImages.AddSetName(Trim(Text.substr(Start)));
        },
        [this] { return fw::TFilerValue(SetNamesText()); }, !FImages.SetNames().empty());
}

// ---- picture drawing ----

void DrawPicture(fw::TCanvas& Canvas, const fw::TRect& R, const fw::TBitmap* Bitmap,
                 bool KeepAspectRatio, bool ShrinkPicture, bool StretchPicture, bool CenterPicture,
                 fw::TColor TransparentColor) {
    if (!Bitmap || Bitmap->Empty()) {
        Canvas.FillRect(R);
        return;
    }
    const int W = R.Right - R.Left, H = R.Bottom - R.Top;
    const int PW = Bitmap->Width(), PH = Bitmap->Height();
    fw::TRect Src{0, 0, PW, PH};
    fw::TRect Dst = R;
    auto Round = [](double V) { return static_cast<int>(std::lround(V)); };
    if (KeepAspectRatio) {
        // One axis at a time: the picture cut to a smaller cell, or placed in a larger one.
        auto CutAxis = [&](int Cell, int Pic, int& Lo, int& Hi) {
            if (ShrinkPicture || Cell >= Pic) return;
            Lo = CenterPicture ? (Pic - Cell) / 2 : 0;
            Hi = Lo + Cell;
        };
        auto PlaceAxis = [&](int Cell, int Pic, int Start, int& Lo, int& Hi) {
            if (StretchPicture || Cell <= Pic) return;
            Lo = Start + (CenterPicture ? (Cell - Pic) / 2 : 0);
            Hi = Lo + Pic;
        };
        CutAxis(W, PW, Src.Left, Src.Right);
        CutAxis(H, PH, Src.Top, Src.Bottom);
        PlaceAxis(W, PW, R.Left, Dst.Left, Dst.Right);
        PlaceAxis(H, PH, R.Top, Dst.Top, Dst.Bottom);
        const int SW = Src.Right - Src.Left, SH = Src.Bottom - Src.Top;
        const int DW = Dst.Right - Dst.Left, DH = Dst.Bottom - Dst.Top;
        if (SW > 0 && SH > 0 && DW > 0 && DH > 0) {
            const double Ratio = static_cast<double>(SW) / SH;
            if (Ratio <= static_cast<double>(DW) / DH) {
                int NW = Round(DH * Ratio);
                if (CenterPicture) Dst.Left += (DW - NW) / 2;
                Dst.Right = Dst.Left + NW;
            } else {
                int NH = Round(DW / Ratio);
                if (CenterPicture) Dst.Top += (DH - NH) / 2;
                Dst.Bottom = Dst.Top + NH;
            }
        }
    } else {
        // Each axis alone: cut the picture to the cell, or place it in the larger cell.
        auto FitAxis = [&](int Cell, int Pic, int Start, int& SrcLo, int& SrcHi, int& DstLo,
                           int& DstHi) {
            if (Cell <= Pic) {
                if (ShrinkPicture) return;
                SrcLo = CenterPicture ? Round((Pic - Cell) / 2.0) : 0;
                SrcHi = SrcLo + Cell;
            } else if (!StretchPicture) {
                DstLo = Start + (CenterPicture ? Round((Cell - Pic) / 2.0) : 0);
                DstHi = DstLo + Pic;
            }
        };
        FitAxis(W, PW, R.Left, Src.Left, Src.Right, Dst.Left, Dst.Right);
        FitAxis(H, PH, R.Top, Src.Top, Src.Bottom, Dst.Top, Dst.Bottom);
    }
    Canvas.FillRect(R);
    if (TransparentColor == fw::clNone)
        Canvas.StretchBlt(Dst, Bitmap->Canvas(), Src, fw::SRCCOPY);
    else
        Canvas.TransparentBlt(Dst, Bitmap->Canvas(), Src, TransparentColor);
}

// ---- mask and date-time links ----

TtsMaskLink::~TtsMaskLink() {
    SetMaskDefs(nullptr);
}

void TtsMaskLink::SetMaskDefs(TtsMaskDefsComponent* Value) {
    if (FMaskDefs == Value) return;
    if (FMaskDefs) FMaskDefs->RemoveLink(this);
    FMaskDefs = nullptr;
    if (Value) Value->AddLink(this);
}

bool TtsMaskLink::Accepts(const TtsVariant& Mask, const std::string& Text, int) const {
    if (auto* Picture = std::get_if<std::string>(&Mask))
        return Picture->empty() || fw::MaskAccepts(*Picture, Text);
    return true;
}

TtsVariant TtsMaskLink::Lookup(const std::string& Name) const {
    if (Name.empty() || !FMaskDefs) return {};
    return FMaskDefs->FindMask(Name);
}

TtsDateTimeLink::~TtsDateTimeLink() {
    if (FDef) FDef->DetachLink(this, true);
}

void TtsDateTimeLink::SetDateTimeDef(TtsDateTimeDefComponent* Value) {
    if (FDef == Value) return;
    // The link names one definition: it leaves the old one whole, whatever
    // its use count, or that one would keep a link it no longer knows of.
    if (FDef) FDef->DetachLink(this, true);
    FDef = nullptr;
    if (Value) Value->AttachLink(this);
}

TtsDateTimeDefComponent::~TtsDateTimeDefComponent() {
    std::vector<TtsDateTimeLink*> Copy = FLinks;
    FLinks.clear();
    FUseCounts.clear();
    for (TtsDateTimeLink* L : Copy) {
        if (L->FDef != this) continue;
        L->FDef = nullptr;
        L->DateTimeDefFreed();
    }
}

void TtsDateTimeDefComponent::AttachLink(TtsDateTimeLink* Link) {
    if (Link->FDef && Link->FDef != this) Link->FDef->DetachLink(Link, true);
    Link->FDef = this;
    auto It = std::find(FLinks.begin(), FLinks.end(), Link);
    if (It == FLinks.end()) {
        FLinks.push_back(Link);
        FUseCounts.push_back(1);
    } else {
        ++FUseCounts[static_cast<std::size_t>(It - FLinks.begin())];
    }
}

void TtsDateTimeDefComponent::DetachLink(TtsDateTimeLink* Link, bool Force) {
    auto It = std::find(FLinks.begin(), FLinks.end(), Link);
    if (It == FLinks.end()) return;
    auto I = static_cast<std::size_t>(It - FLinks.begin());
    if (Force || --FUseCounts[I] <= 0) {
        FLinks.erase(FLinks.begin() + static_cast<std::ptrdiff_t>(I));
        FUseCounts.erase(FUseCounts.begin() + static_cast<std::ptrdiff_t>(I));
        Link->FDef = nullptr;
    }
}

int TtsDateTimeDefComponent::UseCount(const TtsDateTimeLink* Link) const {
    auto It = std::find(FLinks.begin(), FLinks.end(), Link);
    return It == FLinks.end() ? 0 : FUseCounts[static_cast<std::size_t>(It - FLinks.begin())];
}

} // namespace vel
