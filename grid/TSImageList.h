#pragma once
// Named pictures in named sets that picture cells refer to, the drawing of a
// picture into a cell, and the link objects through which a grid or a column
// refers to an image list, a mask definition or a date-time definition.
#include "Bitmap.h"
#include "Canvas.h"
#include "Classes.h"
#include "TSCommon.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vel {

class EListError : public std::runtime_error {
public:
    explicit EListError(const std::string& Msg) : std::runtime_error(Msg) {}
};

class TtsImageList;
class TtsImageListComponent;
class TtsImageCollection;

enum class TtsTransparentMode : std::uint8_t { tmAuto, tmFixed };

// An image as the grid sees it: its published properties through virtual
// accessors, so that any image list can hand out its own kind of image.
class TtsImageItem {
public:
    TtsImageItem() = default;
    virtual ~TtsImageItem() = default;
    TtsImageItem(const TtsImageItem&) = delete;
    TtsImageItem& operator=(const TtsImageItem&) = delete;

    virtual const fw::TBitmap& Bitmap() const = 0;
    virtual void SetBitmap(const fw::TBitmap* Value) = 0;
    virtual const std::string& Name() const = 0;
    virtual void SetName(const std::string& Value) = 0;
    // The set the image belongs to (the property "SetName"); SetName(v) sets Name.
    virtual const std::string& SetName() const = 0;
    virtual void SetSetName(const std::string& Value) = 0;
    virtual bool Transparent() const = 0;
    virtual void SetTransparent(bool Value) = 0;
    virtual fw::TColor TransparentColor() const = 0;
    virtual void SetTransparentColor(fw::TColor Value) = 0;
    virtual TtsTransparentMode TransparentMode() const = 0;
    virtual void SetTransparentMode(TtsTransparentMode Value) = 0;
    virtual int ID() const = 0;
    virtual void Changed() = 0;
};

class TtsImage : public TtsImageItem {
public:
    explicit TtsImage(TtsImageCollection* Collection);
    ~TtsImage() override;

    const fw::TBitmap& Bitmap() const override { return *FBitmap; }
    void SetBitmap(const fw::TBitmap* Value) override;
    const std::string& Name() const override { return FName; }
    void SetName(const std::string& Value) override;
    const std::string& SetName() const override { return FSetName; }
    void SetSetName(const std::string& Value) override;
    bool Transparent() const override { return FTransparent; }
    void SetTransparent(bool Value) override;
    fw::TColor TransparentColor() const override;
    void SetTransparentColor(fw::TColor Value) override;
    TtsTransparentMode TransparentMode() const override { return FTransparentMode; }
    void SetTransparentMode(TtsTransparentMode Value) override;
    int ID() const override { return FID; }
    void SetID(int Value) { FID = Value; }
    void Assign(const TtsImage& Source);
    void Changed() override;
    int UpdateCount = 0;

private:
    void Rename(const std::string& NewName, const std::string& NewSet);
    TtsImageCollection* FCollection;
    std::unique_ptr<fw::TBitmap> FBitmap;
    bool FTransparent = false;
    fw::TColor FTransparentColor = 0xFFFFFF;
    TtsTransparentMode FTransparentMode = TtsTransparentMode::tmAuto;
    std::string FName;
    std::string FSetName;
    int FID = 0;
};

class TtsImageCollection {
public:
    explicit TtsImageCollection(TtsImageList* Owner) : FOwner(Owner) {}
    TtsImageList* Owner() const { return FOwner; }
    void SetOwner(TtsImageList* Owner) { FOwner = Owner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TtsImage* Items(int Index) const { return FItems[static_cast<std::size_t>(Index)].get(); }
    TtsImage* Add();
    void Delete(int Index);
    void Clear();
    std::vector<std::string>& SetNames() { return FSetNames; }
    const std::vector<std::string>& SetNames() const { return FSetNames; }
    void AddSetName(const std::string& Name);
    // Whether ID may be Image's: no other image here holds it.
    bool TakeID(const TtsImage* Image, int ID);
    // Names are stored as they come while the list is read (its owner loading).
    bool Reading() const;
    void SetReading(bool Value) { FReading = Value; }

private:
    bool FReading = false;
    TtsImageList* FOwner;
    std::vector<std::unique_ptr<TtsImage>> FItems;
    std::vector<std::string> FSetNames;
    int FNextID = 1;
};

class TtsImageLink {
public:
    TtsImageLink() = default;
    virtual ~TtsImageLink();
    TtsImageLink(const TtsImageLink&) = delete;
    TtsImageLink& operator=(const TtsImageLink&) = delete;
    TtsImageListComponent* ImageList() const { return FImageList; }
    void SetImageList(TtsImageListComponent* Value);
    virtual void ImageListChanged() {}
    virtual void ImageListFreed() {}

private:
    friend class TtsImageListComponent;
    TtsImageListComponent* FImageList = nullptr;
};

using TtsImageListOnChangeEvent = std::function<void(fw::TObject* Sender, TtsImage* Image)>;

// What the grid asks of an image list: images by key, the step to the next
// image of a set, and the links told when the list changes or goes.
class TtsImageListComponent : public fw::TComponent {
public:
    explicit TtsImageListComponent(fw::TComponent* AOwner) : fw::TComponent(AOwner) {}
    ~TtsImageListComponent() override;

    virtual int Count() const = 0;
    virtual int IndexOfName(const TtsVariant& Key) const = 0;
    virtual TtsImageItem* GetImage(const TtsVariant& Key) const = 0;
    virtual void SetImage(const TtsVariant& Key, const TtsImageItem& Image) = 0;
    virtual bool IsValidKey(const TtsVariant& Key) const = 0;
    virtual int IndexOfID(int ID) const = 0;
    virtual TtsVariant NextImage(const TtsVariant& Key) const = 0;
    virtual TtsVariant PrevImage(const TtsVariant& Key) const = 0;

    const std::vector<TtsImageLink*>& Links() const { return FLinks; }
    void AttachLink(TtsImageLink* Link);
    void DetachLink(TtsImageLink* Link);

protected:
    // Every link told that the list changed.
    void LinksChanged();
    // Every link, last first, detached and told that the list goes; a list
    // calls it first thing in its destructor, while it is still whole.
    void DetachAllLinks();

private:
    std::vector<TtsImageLink*> FLinks;
};

class TtsImageList : public TtsImageListComponent {
public:
    explicit TtsImageList(fw::TComponent* AOwner);
    ~TtsImageList() override;

    const std::string& GUID() const { return FGUID; }
    TtsImageCollection& Images() { return FImages; }
    const TtsImageCollection& Images() const { return FImages; }
    TtsImageListOnChangeEvent OnChange;

    int Count() const override;
    int IndexOfName(const TtsVariant& Key) const override;
    TtsImage* GetImage(const TtsVariant& Key) const override;
    // The image at the key takes over the given one when that is a TtsImage.
    void SetImage(const TtsVariant& Key, const TtsImageItem& Image) override;
    bool IsValidKey(const TtsVariant& Key) const override;
    int IndexOfID(int ID) const override;
    TtsVariant NextImage(const TtsVariant& Key) const override;
    TtsVariant PrevImage(const TtsVariant& Key) const override;
    void Assign(const TtsImageList& Source);
    std::string SetNamesText() const;
    // Stored beside the published properties: "GUID" and "SetNames" (comma text).
    void DefineProperties(fw::TFiler& Filer) override;

    void ImageChanged(TtsImage* Image);

private:
    int Lookup(const TtsVariant& Key) const;
    TtsVariant StepImage(const TtsVariant& Key, int Step) const;
    std::string FGUID;
    TtsImageCollection FImages{this};
};

// Key "Set.Name" split into its trimmed parts; without a dot the set is empty.
void SplitImageKey(const std::string& Key, std::string& Set, std::string& Name);

// Draws a picture into a cell rectangle with the picture options.
void DrawPicture(fw::TCanvas& Canvas, const fw::TRect& R, const fw::TBitmap* Bitmap,
                 bool KeepAspectRatio, bool ShrinkPicture, bool StretchPicture, bool CenterPicture,
                 fw::TColor TransparentColor);

// ---- mask and date-time definitions ----

class TtsMaskDefsComponent;
class TtsDateTimeDefComponent;

class TtsMaskLink {
public:
    TtsMaskLink() = default;
    virtual ~TtsMaskLink();
    TtsMaskLink(const TtsMaskLink&) = delete;
    TtsMaskLink& operator=(const TtsMaskLink&) = delete;
    TtsMaskDefsComponent* MaskDefs() const { return FMaskDefs; }
    void SetMaskDefs(TtsMaskDefsComponent* Value);
    TtsVariant Lookup(const std::string& Name) const;
    // Whether a text may stand under a mask looked up here: a text mask is a
    // picture (MaskEdit.h) the text must fit from its start; no mask takes anything.
    bool Accepts(const TtsVariant& Mask, const std::string& Text, int Pos) const;
    virtual void MaskDefsChanged() {}
    virtual void MaskDefsFreed() {}

private:
    friend class TtsMaskDefsComponent;
    TtsMaskDefsComponent* FMaskDefs = nullptr;
};

class TtsMaskDefsComponent : public fw::TComponent {
public:
    explicit TtsMaskDefsComponent(fw::TComponent* AOwner) : fw::TComponent(AOwner) {}
    virtual void RemoveLink(TtsMaskLink* Link) = 0;
    virtual void AddLink(TtsMaskLink* Link) = 0;
    virtual TtsVariant FindMask(const TtsVariant& Key) = 0;

protected:
    // A link names one definition set: it leaves the one it was on first.
    static void SetLinkTarget(TtsMaskLink* Link, TtsMaskDefsComponent* Target) {
        if (Target && Link->FMaskDefs && Link->FMaskDefs != Target)
            Link->FMaskDefs->RemoveLink(Link);
        Link->FMaskDefs = Target;
    }
};

class TtsDateTimeLink {
public:
    TtsDateTimeLink() = default;
    virtual ~TtsDateTimeLink();
    TtsDateTimeLink(const TtsDateTimeLink&) = delete;
    TtsDateTimeLink& operator=(const TtsDateTimeLink&) = delete;
    TtsDateTimeDefComponent* DateTimeDef() const { return FDef; }
    void SetDateTimeDef(TtsDateTimeDefComponent* Value);
    virtual void DateTimeDefChanged() {}
    virtual void DateTimeDefFreed() {}

private:
    friend class TtsDateTimeDefComponent;
    TtsDateTimeDefComponent* FDef = nullptr;
};

class TtsDateTimeDefComponent : public fw::TComponent {
public:
    explicit TtsDateTimeDefComponent(fw::TComponent* AOwner) : fw::TComponent(AOwner) {}
    ~TtsDateTimeDefComponent() override;
    void AttachLink(TtsDateTimeLink* Link);
    void DetachLink(TtsDateTimeLink* Link, bool Force = false);
    int UseCount(const TtsDateTimeLink* Link) const;
    const std::vector<TtsDateTimeLink*>& Links() const { return FLinks; }

private:
    std::vector<TtsDateTimeLink*> FLinks;
    std::vector<std::int32_t> FUseCounts;
};

} // namespace vel
