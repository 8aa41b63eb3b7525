#include "Clipbrd.h"
#include "Input.h"

#include <gtest/gtest.h>

#include <memory>

namespace fw {
namespace {

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override { ResetInputState(); }
    void TearDown() override { ResetInputState(); }
};

// Renders "A" and "B" formats and counts what it was asked for.
class TCountingSource : public TClipboardDataSource {
public:
    explicit TCountingSource(UINT F) : Format(F) {}
    std::vector<UINT> Formats() override { return {Format, CF_TEXT}; }
    THGlobal Render(UINT F) override {
        ++Rendered;
        THGlobal B = GlobalAlloc(3);
        (*B)[0] = F == CF_TEXT ? 't' : 'x';
        return B;
    }
    void Released() override { ++Releases; }
    UINT Format;
    int Rendered = 0;
    int Releases = 0;
};

TEST_F(ClipboardTest, NamesRegisterOnceWhateverTheirCase) {
    const UINT A = RegisterClipboardFormat("Lazy Test Data");
    EXPECT_GE(A, CF_REGISTERED_FIRST);
    EXPECT_EQ(RegisterClipboardFormat("lazy test DATA"), A);
    EXPECT_NE(RegisterClipboardFormat("Other Test Data"), A);
    EXPECT_EQ(GetClipboardFormatName(A), "Lazy Test Data");
    EXPECT_EQ(GetClipboardFormatName(CF_TEXT), "");
    EXPECT_EQ(RegisterClipboardFormat(""), 0u);
}

TEST_F(ClipboardTest, BlocksNeedAnOpenClipboardAndABusyOneCannotBeOpened) {
    EXPECT_FALSE(SetClipboardData(CF_TEXT, GlobalAlloc(1)));
    SetClipboardBusy(true);
    EXPECT_FALSE(OpenClipboard(nullptr));
    SetClipboardBusy(false);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr)); // once at a time
    EmptyClipboard();
    THGlobal B = GlobalAlloc(2);
    (*B)[0] = 'h';
    EXPECT_TRUE(SetClipboardData(CF_TEXT, B));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_EQ(GetClipboardData(CF_TEXT), B);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr); // closed again
    EXPECT_EQ(ClipboardText(), "h");
}

TEST_F(ClipboardTest, ASourceRendersOnDemandOnceAndGoesWhenReplacedOrFlushed) {
    const UINT F = RegisterClipboardFormat("Counting Format");
    auto Source = std::make_shared<TCountingSource>(F);
    ASSERT_TRUE(SetClipboardSource(Source));
    EXPECT_EQ(ClipboardFormats(), (std::vector<UINT>{F, CF_TEXT}));
    EXPECT_EQ(Source->Rendered, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ((*GetClipboardData(F))[0], 'x');
    EXPECT_EQ((*GetClipboardData(F))[0], 'x');
    EXPECT_EQ(GetClipboardData(999), nullptr);
    CloseClipboard();
    EXPECT_EQ(Source->Rendered, 1); // kept after the first rendering
    FlushClipboard();
    EXPECT_EQ(Source->Releases, 1);
    EXPECT_EQ(ClipboardSource(), nullptr);
    EXPECT_EQ(ClipboardText(), "t"); // flushed blocks stay
    SetClipboardSource(std::make_shared<TCountingSource>(F));
    SetClipboardText("new");
    EXPECT_EQ(ClipboardSource(), nullptr);
    EXPECT_EQ(ClipboardFormats(), (std::vector<UINT>{CF_TEXT}));
}

TEST_F(ClipboardTest, WideTextKeepsEveryUnitAndOffersAnEightBitCopy) {
    const std::u16string Text = u"a\u00E9\u4E2D\U0001F600";
    SetClipboardWideText(Text);
    EXPECT_EQ(ClipboardWideText(), Text);
    EXPECT_EQ(ClipboardText(), "a\xE9???");
    SetClipboardText("plain");
    EXPECT_EQ(ClipboardWideText(), u"plain");
}

} // namespace
} // namespace fw
