#include "TSImageList.h"

#include "Filer.h"
#include "TSMaskDefs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vel {
namespace {

void Fill(fw::TBitmap& B, int W, int H) {
    B.SetSize(W, H);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            B.Canvas().SetPixels(X, Y, static_cast<fw::TColor>(Y * 16 + X + 1));
}

std::string ErrorOf(const std::function<void()>& F) {
    try {
        F();
    } catch (const EListError& E) {
        return E.what();
    }
    return "";
}

class ImageListTest : public ::testing::Test {
protected:
    TtsImage* Add(const std::string& Name) {
        TtsImage* I = List.Images().Add();
        I->SetName(Name);
        return I;
    }
    TtsImageList List{nullptr};
};

TEST_F(ImageListTest, NamesCarryTheirSet) {
    TtsImage* A = Add("Tools.Arrow");
    EXPECT_EQ(A->SetName(), "Tools");
    EXPECT_EQ(A->Name(), "Arrow");
    EXPECT_EQ(List.SetNamesText(), "Tools");
    TtsImage* B = Add("Other");
    EXPECT_EQ(ErrorOf([&] { B->SetName(" tools . ARROW "); }),
              "Name 'ARROW' already exists in set 'tools'.");
    EXPECT_EQ(B->Name(), "Other");
    Add("Off");
    EXPECT_EQ(ErrorOf([&] { B->SetName("off"); }), "Name 'off' already exists in main set.");
    // A name without a set keeps the image's set.
    A->SetName("Pointer");
    EXPECT_EQ(A->SetName(), "Tools");
    EXPECT_EQ(List.IndexOfName(std::string("tools.pointer")), 0);
}

TEST_F(ImageListTest, KeysByIndexAndName) {
    EXPECT_EQ(List.GetImage(std::int32_t(0)), nullptr); // an empty list answers none
    Add("Off");
    Add("On");
    EXPECT_EQ(List.GetImage(std::string("on")), List.Images().Items(1));
    EXPECT_EQ(ErrorOf([&] { List.GetImage(std::int32_t(5)); }), "Index (5) out of bounds.");
    EXPECT_EQ(ErrorOf([&] { List.GetImage(std::string("Gone")); }),
              "Index 'Gone' not found in imagelist.");
    EXPECT_TRUE(List.IsValidKey(std::int32_t(1)));
    EXPECT_FALSE(List.IsValidKey(std::int32_t(2)));
    EXPECT_FALSE(List.IsValidKey(TtsVariant{}));
    EXPECT_FALSE(List.IsValidKey(TtsNull{}));
    EXPECT_TRUE(List.IsValidKey(std::string("Off")));
    EXPECT_EQ(List.IndexOfID(List.Images().Items(1)->ID()), 1);
    EXPECT_EQ(List.IndexOfID(999), -1);
}

TEST_F(ImageListTest, StepsWrapWithinTheSet) {
    Add("Off");
    Add("On");
    Add("S.One");
    EXPECT_EQ(std::get<std::int32_t>(List.NextImage(std::string("Off"))), 1);
    EXPECT_EQ(std::get<std::int32_t>(List.NextImage(std::string("On"))), 0);
    EXPECT_EQ(std::get<std::int32_t>(List.PrevImage(std::string("Off"))), 1);
    EXPECT_EQ(std::get<std::int32_t>(List.NextImage(std::string("S.One"))), 2); // alone
    EXPECT_EQ(std::get<std::int32_t>(List.NextImage(std::string("nope"))), -1);
    EXPECT_EQ(std::get<std::int32_t>(List.NextImage(std::string(""))), 0);
    EXPECT_EQ(std::get<std::int32_t>(List.PrevImage(std::string(""))), 2);
    EXPECT_EQ(std::get<std::int32_t>(List.NextImage(std::int32_t(2))), 0);
    EXPECT_EQ(std::get<std::int32_t>(List.PrevImage(std::int32_t(0))), 2);
}

TEST_F(ImageListTest, ChangesReachTheEventAndTheLinks) {
    struct TLink : TtsImageLink {
        int Changes = 0, Freed = 0;
        void ImageListChanged() override { ++Changes; }
        void ImageListFreed() override { ++Freed; }
    };
    TLink Link;
    int Events = 0;
    {
        TtsImageList Local(nullptr);
        Local.OnChange = [&](fw::TObject*, TtsImage*) { ++Events; };
        Link.SetImageList(&Local);
        TtsImage* I = Local.Images().Add();
        fw::TBitmap Pic;
        Fill(Pic, 4, 4);
        I->SetBitmap(&Pic);
        I->SetBitmap(nullptr); // ignored
        EXPECT_EQ(Events, 1);
        EXPECT_EQ(Link.Changes, 1);
    }
    EXPECT_EQ(Link.Freed, 1);
    EXPECT_EQ(Link.ImageList(), nullptr);
}

TEST_F(ImageListTest, SetImageTakesOverOnlyAnImageOfTheList) {
    TtsImage* Off = Add("Off");
    TtsImageList Other(nullptr);
    TtsImage* Source = Other.Images().Add();
    Source->SetName("Tools.Arrow");
    fw::TBitmap Pic;
    Fill(Pic, 3, 3);
    Source->SetBitmap(&Pic);
    List.SetImage(std::string("off"), *Source);
    EXPECT_EQ(Off->Name(), "Arrow");
    EXPECT_EQ(Off->SetName(), "Tools");
    EXPECT_EQ(Off->Bitmap().Width(), 3);
    // An image of another kind is not taken over.
    struct TForeign : TtsImageItem {
        fw::TBitmap B;
        std::string N = "Foreign";
        const fw::TBitmap& Bitmap() const override { return B; }
        void SetBitmap(const fw::TBitmap*) override {}
        const std::string& Name() const override { return N; }
        void SetName(const std::string&) override {}
        const std::string& SetName() const override { return N; }
        void SetSetName(const std::string&) override {}
        bool Transparent() const override { return false; }
        void SetTransparent(bool) override {}
        fw::TColor TransparentColor() const override { return 0; }
        void SetTransparentColor(fw::TColor) override {}
        TtsTransparentMode TransparentMode() const override { return TtsTransparentMode::tmAuto; }
        void SetTransparentMode(TtsTransparentMode) override {}
        int ID() const override { return 7; }
        void Changed() override {}
    } Foreign;
    List.SetImage(std::int32_t(0), Foreign);
    EXPECT_EQ(Off->Name(), "Arrow");
    EXPECT_EQ(ErrorOf([&] { List.SetImage(std::int32_t(3), Foreign); }),
              "Index (3) out of bounds.");
    // The list answers through its abstract face as through its own.
    TtsImageListComponent& Face = List;
    EXPECT_EQ(Face.Count(), 1);
    EXPECT_EQ(Face.GetImage(std::string("tools.arrow")), Off);
}

TEST_F(ImageListTest, ALinkMayLeaveWhileTheListTellsOfAChange) {
    struct TLink : TtsImageLink {
        TtsImageLink* Other = nullptr;
        int Changes = 0;
        void ImageListChanged() override {
            ++Changes;
            if (Other) Other->SetImageList(nullptr);
            SetImageList(nullptr);
        }
    };
    auto Second = std::make_unique<TLink>();
    TLink First;
    First.SetImageList(&List);
    Second->SetImageList(&List);
    First.Other = Second.get();
    Add("Off")->SetTransparent(true);
    EXPECT_EQ(First.Changes, 1);
    EXPECT_EQ(Second->Changes, 0); // detached before its turn: not told
    Second.reset();
    EXPECT_TRUE(List.Links().empty());
}

TEST(DrawPictureTest, CentredCutOfALargerPicture) {
    // 16 x 16 in a 20 x 10 cell, options off but centring: rows 3..12, 2 pixels each side.
    fw::TBitmap Pic;
    Fill(Pic, 16, 16);
    fw::TBitmap Cell;
    Cell.SetSize(20, 10);
    Cell.Canvas().Brush().SetColor(fw::clWhite);
    DrawPicture(Cell.Canvas(), fw::TRect{0, 0, 20, 10}, &Pic, false, false, false, true,
                fw::clNone);
    EXPECT_EQ(Cell.Canvas().Pixels(1, 0), fw::clWhite);
    EXPECT_EQ(Cell.Canvas().Pixels(2, 0), Pic.Canvas().Pixels(0, 3));
    EXPECT_EQ(Cell.Canvas().Pixels(17, 9), Pic.Canvas().Pixels(15, 12));
    EXPECT_EQ(Cell.Canvas().Pixels(18, 5), fw::clWhite);
}

TEST(DrawPictureTest, StretchKeepAspectAndEmptyPictures) {
    fw::TBitmap Pic;
    Fill(Pic, 4, 2);
    fw::TBitmap Cell;
    Cell.SetSize(8, 8);
    Cell.Canvas().Brush().SetColor(fw::clWhite);
    DrawPicture(Cell.Canvas(), fw::TRect{0, 0, 8, 8}, &Pic, false, false, true, false, fw::clNone);
    EXPECT_EQ(Cell.Canvas().Pixels(7, 7), Pic.Canvas().Pixels(3, 1));
    // Keeping the aspect: 8 x 4, centred vertically.
    DrawPicture(Cell.Canvas(), fw::TRect{0, 0, 8, 8}, &Pic, true, true, true, true, fw::clNone);
    EXPECT_EQ(Cell.Canvas().Pixels(0, 1), fw::clWhite);
    EXPECT_EQ(Cell.Canvas().Pixels(0, 2), Pic.Canvas().Pixels(0, 0));
    EXPECT_EQ(Cell.Canvas().Pixels(7, 5), Pic.Canvas().Pixels(3, 1));
    EXPECT_EQ(Cell.Canvas().Pixels(7, 6), fw::clWhite);
    Cell.Canvas().Brush().SetColor(fw::clRed);
    DrawPicture(Cell.Canvas(), fw::TRect{0, 0, 8, 8}, nullptr, false, false, false, false,
                fw::clNone);
    EXPECT_EQ(Cell.Canvas().Pixels(4, 4), fw::clRed);
}

TEST(DateTimeDefTest, UseCountsAndRelease) {
    struct TLink : TtsDateTimeLink {
        int Freed = 0;
        void DateTimeDefFreed() override { ++Freed; }
    };
    TLink A;
    {
        TtsDateTimeDefComponent Def(nullptr);
        Def.AttachLink(&A);
        Def.AttachLink(&A);
        EXPECT_EQ(Def.UseCount(&A), 2);
        Def.DetachLink(&A);
        EXPECT_EQ(Def.UseCount(&A), 1);
        EXPECT_EQ(A.DateTimeDef(), &Def);
    }
    EXPECT_EQ(A.Freed, 1);
    EXPECT_EQ(A.DateTimeDef(), nullptr);
}

TEST_F(ImageListTest, IdentitiesStayUniqueThroughCopies) {
    TtsImageList Other(nullptr);
    for (const char* N : {"A", "B", "C"}) Other.Images().Add()->SetName(N);
    Other.Images().Delete(0);
    Other.Images().Delete(0);
    struct TLink : TtsImageLink {
        int Changes = 0;
        void ImageListChanged() override { ++Changes; }
    } Link;
    Link.SetImageList(&List);
    List.Assign(Other);
    EXPECT_GT(Link.Changes, 0); // a grid showing the list repaints
    Add("D");
    Add("E");
    List.SetImage(std::int32_t(1), *List.Images().Items(0));
    std::vector<int> IDs;
    for (int I = 0; I < List.Count(); ++I) IDs.push_back(List.Images().Items(I)->ID());
    std::sort(IDs.begin(), IDs.end());
    EXPECT_EQ(std::adjacent_find(IDs.begin(), IDs.end()), IDs.end());
    EXPECT_EQ(List.IndexOfID(Other.Images().Items(0)->ID()), 0);
    List.Assign(List); // onto itself: nothing lost
    EXPECT_EQ(List.Count(), 3);
}

TEST_F(ImageListTest, GuidAndSetNamesAreStored) {
    Add("Tools.Arrow");
    Add("Off");
    Add("Marks.Key");
    const fw::TFilerValues Values = fw::WriteDefinedProperties(List);
    EXPECT_EQ(std::get<std::string>(Values.at("SetNames")), "Tools,Marks");
    TtsImageList Copy(nullptr);
    EXPECT_NE(Copy.GUID(), List.GUID());
    fw::ReadDefinedProperties(Copy, Values);
    EXPECT_EQ(Copy.GUID(), List.GUID());
    EXPECT_EQ(Copy.SetNamesText(), "Tools,Marks");
    // While the list is read, names are kept as they were stored.
    Copy.SetState(fw::TComponentStateItem::Loading);
    TtsImage* Image = Copy.Images().Add();
    Image->SetName(" Tools.Arrow ");
    EXPECT_EQ(Image->Name(), " Tools.Arrow ");
    Copy.ClearState(fw::TComponentStateItem::Loading);
    EXPECT_THROW(fw::ReadDefinedProperties(Copy, {{"GUID", fw::TFilerValue(std::int64_t(5))}}),
                 fw::EReadError);
    EXPECT_EQ(Copy.GUID(), List.GUID());
}

TEST(DefinitionLinkTest, ALinkNamesOneComponentAtATime) {
    struct TDateLink : TtsDateTimeLink {
        int Freed = 0;
        void DateTimeDefFreed() override { ++Freed; }
    } Date;
    TtsDateTimeDefComponent Second(nullptr);
    {
        TtsDateTimeDefComponent First(nullptr);
        First.AttachLink(&Date);
        First.AttachLink(&Date);
        Date.SetDateTimeDef(&Second);
        EXPECT_EQ(First.UseCount(&Date), 0);
        First.AttachLink(&Date); // straight from the definition: leaves the other
        EXPECT_EQ(Second.UseCount(&Date), 0);
        Date.SetDateTimeDef(&Second);
    }
    EXPECT_EQ(Date.Freed, 0);
    EXPECT_EQ(Date.DateTimeDef(), &Second);

    TtsImageList One(nullptr), Two(nullptr);
    TtsImageLink Image;
    Image.SetImageList(&One);
    Two.AttachLink(&Image);
    EXPECT_TRUE(One.Links().empty());
    EXPECT_EQ(Image.ImageList(), &Two);

    TtsMaskDefs Masks(nullptr);
    TtsMaskLink Mask;
    {
        TtsMaskDefs Old(nullptr);
        Mask.SetMaskDefs(&Old);
        Masks.AddLink(&Mask);
        EXPECT_TRUE(Old.Links().empty());
    }
    EXPECT_EQ(Mask.MaskDefs(), &Masks);
}

} // namespace
} // namespace vel
