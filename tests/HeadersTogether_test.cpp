// Every library's headers in one unit: a name that two libraries declare
// differently fails this build.
#include "AllHeaders.h"
#include "FormTestEnv.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace vel {
namespace {

// The control libraries name the framework's platform types, not their own.
static_assert(std::is_same_v<TScrollStyle, fw::TScrollStyle>);
static_assert(std::is_same_v<TAlignment, fw::TAlignment>);
static_assert(std::is_same_v<TBiDiMode, fw::TBiDiMode>);
static_assert(std::is_same_v<EReadError, fw::EReadError>);
static_assert(std::is_same_v<TStream, fw::TStream>);
static_assert(std::is_same_v<TPopupMenu, fw::TPopupMenu>);
static_assert(std::is_same_v<TTabSheet, fw::TTabSheet>);
static_assert(SB_THUMBTRACK == fw::SB_THUMBTRACK);

class HeadersTogether : public fw::FormTest {};

// A tree header and a grid layout, one after the other in one stream, read back
// in order: each reader stops where its record ends.
TEST_F(HeadersTogether, TreeAndGridRecordsShareOneStream) {
    auto* Tree = fw::Create<TLazyStringTree>(Form.get());
    Tree->Header()->Columns().Add()->SetText(u"Pose");
    TtsGridModel Grid("Grid1", 3, 4);
    Grid.Col(2)->SetWidth(90);
    TMemoryStream S;
    Tree->Header()->SaveToStream(S);
    SaveLayout(Grid, S, pkCols, false, AllKinds);
    S.WriteU32(0xC0FFEE);

    S.SetPosition(0);
    auto* OtherTree = fw::Create<TLazyStringTree>(Form.get());
    OtherTree->Header()->LoadFromStream(S);
    TtsGridModel OtherGrid("Grid2", 1, 1);
    LoadLayout(OtherGrid, S, 1);
    EXPECT_EQ(S.ReadU32(), 0xC0FFEEu);
    EXPECT_TRUE(OtherTree->Header()->Columns().Equals(Tree->Header()->Columns()));
    EXPECT_EQ(OtherGrid.Cols(), 3);
    EXPECT_EQ(OtherGrid.Col(2)->Width(), 90);
}

} // namespace
} // namespace vel
