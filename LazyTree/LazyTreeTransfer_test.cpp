#include "TreeViewTestEnv.h"

#include "LazyTreeClipboard.h"
#include "LazyTreeDragDrop.h"
#include "LazyTreeHint.h"
#include "LazyTreeResources.h"
#include "LazyTreeUnit.h"

#include "Clipbrd.h"
#include "Hints.h"
#include "Messages.h"
#include "StdActns.h"

#include <cstring>
#include <utility>

namespace vel {
namespace {

class TransferTest : public TreeViewTest {
protected:
    void SetUp() override {
        TreeViewTest::SetUp();
        Other = Place<TLazyStringTree>(250, 0, 200, 160);
        Other->SetRootNodeCount(1);
    }
    std::string Block(const std::string& FormatName) {
        const fw::UINT F =
            FormatName == "text" ? fw::CF_TEXT : fw::RegisterClipboardFormat(FormatName);
        EXPECT_TRUE(fw::OpenClipboard(nullptr));
        fw::THGlobal B = fw::GetClipboardData(F);
        fw::CloseClipboard();
        if (!B) return {};
        std::string S(B->begin(), B->end());
        return S.substr(0, S.find('\0'));
    }
    std::uint32_t Children(TBaseLazyTree* T, PLazyNode N) { return T->ChildCount(N); }

    TLazyStringTree* Other = nullptr;
};

TEST_F(TransferTest, CopyAndPasteCarryTheNodesToAnotherTree) {
    Tree->SetSelected(Top(0), true);
    Tree->CopyToClipboard();
    EXPECT_TRUE(Tree->TreeStates().Contains(tsCopyPending));
    EXPECT_TRUE(Top(0)->States & vsCutOrCopy);
    // The clipboard offers the tree data and every text rendering.
    for (const char* Name : {"Lazy Tree Data", "HTML Format", "Rich Text Format", "CSV"})
        EXPECT_TRUE(fw::IsClipboardFormatAvailable(fw::RegisterClipboardFormat(Name))) << Name;
    EXPECT_TRUE(fw::IsClipboardFormatAvailable(fw::CF_UNICODETEXT));
    EXPECT_EQ(fw::ClipboardText(), "0\r\n");
    Other->SetFocusedNode(Other->GetFirst());
    ASSERT_TRUE(Other->PasteFromClipboard());
    PLazyNode Pasted = Other->GetFirstChild(Other->GetFirst());
    ASSERT_NE(Pasted, nullptr);
    EXPECT_EQ(Children(Other, Pasted), 2u);
    // The copy stays; the source's pending copy ends.
    EXPECT_EQ(Tree->RootNodeCount(), 3u);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsCopyPending));
    EXPECT_FALSE(Top(0)->States & vsCutOrCopy);
}

TEST_F(TransferTest, CutAndPasteMoveTheNodes) {
    Tree->SetSelected(Top(1), true);
    Tree->CutToClipboard();
    EXPECT_TRUE(Tree->TreeStates().Contains(tsCutPending));
    EXPECT_EQ(Tree->RootNodeCount(), 3u); // nothing goes before the paste
    Other->SetFocusedNode(nullptr);
    ASSERT_TRUE(Other->PasteFromClipboard());
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
    EXPECT_EQ(Other->RootNodeCount(), 2u);
    EXPECT_EQ(Children(Other, Other->GetLastChild(nullptr)), 2u);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsCutPending));
    // A read-only tree neither cuts nor pastes.
    Other->TreeOptions()->SetMiscOptions(Other->MiscOptions() | toReadOnly);
    EXPECT_FALSE(Other->PasteFromClipboard());
    Other->SetSelected(Other->GetFirst(), true);
    Other->CutToClipboard();
    EXPECT_FALSE(Other->TreeStates().Contains(tsCutPending));
}

// A move refused by the source keeps the node in its tree, and a paste that
// inserted nothing says so (and leaves the cut pending for another paste).
TEST_F(TransferTest, ARefusedCutAndPasteKeepsTheNodes) {
    auto* A = Place<TLazyStringTree>(0, 0, 100, 100);
    auto* B = Place<TLazyStringTree>(100, 0, 100, 100);
    Show();
    A->SetRootNodeCount(2);
    B->SetRootNodeCount(1);
    A->SetSelected(A->GetFirst(), true);
    A->CutToClipboard();
    A->OnNodeMoving = [](TBaseLazyTree*, PLazyNode, PLazyNode, bool& Ok) { Ok = false; };
    B->SetFocusedNode(B->GetFirst());
    EXPECT_FALSE(B->PasteFromClipboard());
    EXPECT_EQ(A->RootNodeCount(), 2u);
    EXPECT_EQ(B->TotalCount(), 1u);
    EXPECT_TRUE(A->TreeStates().Contains(tsCutPending));
    // Some moves refused: those nodes stay, unmarked, and the cut ends.
    A->OnNodeMoving = nullptr;
    A->SetSelected(A->GetFirst(), true);
    A->SetSelected(A->GetLastChild(nullptr), true);
    A->CutToClipboard();
    A->OnNodeMoving = [A](TBaseLazyTree*, PLazyNode N, PLazyNode, bool& Ok) {
        Ok = N != A->GetFirstNoInit();
    };
    EXPECT_TRUE(B->PasteFromClipboard());
    EXPECT_EQ(A->RootNodeCount(), 1u);
    EXPECT_EQ(B->TotalCount(), 2u);
    EXPECT_FALSE(A->TreeStates().Contains(tsCutPending));
    EXPECT_FALSE(A->GetFirstNoInit()->States & vsCutOrCopy);
    // Within one tree, a refused move is no insertion either.
    A->SetRootNodeCount(3);
    A->OnNodeMoving = [](TBaseLazyTree*, PLazyNode, PLazyNode, bool& Ok) { Ok = false; };
    A->SetSelected(A->GetFirstNoInit(), true);
    A->CutToClipboard();
    A->SetFocusedNode(A->GetLastChild(nullptr));
    EXPECT_FALSE(A->PasteFromClipboard());
    EXPECT_EQ(A->RootNodeCount(), 3u);
}

// The cut nodes are taken from the source before the moves; handlers of the
// source and of the target delete nodes of that list meanwhile.
TEST_F(TransferTest, HandlersDeletingCutNodesWhileTheyArePasted) {
    for (int Case = 0; Case < 6; ++Case) {
        SCOPED_TRACE(Case);
        auto* A = Place<TLazyStringTree>(0, 0, 100, 100);
        auto* B = Place<TLazyStringTree>(100, 0, 100, 100);
        Show();
        A->SetRootNodeCount(4);
        B->SetRootNodeCount(1);
        PLazyNode First = A->GetFirst();
        A->TreeOptions()->SetSelectionOptions(A->SelectionOptions() | toMultiSelect);
        for (PLazyNode N = A->GetFirst(); N; N = A->GetNextSibling(N))
            A->SetSelected(N, true);
        A->CutToClipboard();
        PLazyNode Last = A->GetLastChild(nullptr);
        PLazyNode Third = Last->PrevSibling;
        bool Once = true;
        auto DeleteLater = [&](TBaseLazyTree*) {
            if (!std::exchange(Once, false)) return;
            A->DeleteNode(Last);
            A->DeleteNode(Third);
        };
        if (Case == 0)
            A->OnNodeMoving = [&](TBaseLazyTree* T, PLazyNode, PLazyNode, bool&) { DeleteLater(T); };
        if (Case == 1) A->OnFreeNode = [&](TBaseLazyTree* T, PLazyNode) { DeleteLater(T); };
        if (Case == 2) B->OnNodeCopied = [&](TBaseLazyTree* T, PLazyNode) { DeleteLater(T); };
        if (Case == 3) B->OnNodeMoved = [&](TBaseLazyTree* T, PLazyNode) { DeleteLater(T); };
        // The node being moved, freed by the target's handler once it was copied.
        if (Case == 4)
            B->OnNodeCopied = [&](TBaseLazyTree*, PLazyNode) {
                if (std::exchange(Once, false)) A->DeleteNode(First);
            };
        // The target, freed by the source's handler.
        PLazyNode Target = Case == 5 ? B->GetFirst() : nullptr;
        if (Case == 5)
            A->OnNodeMoving = [&](TBaseLazyTree*, PLazyNode, PLazyNode, bool&) {
                if (std::exchange(Once, false)) B->DeleteNode(Target);
            };
        B->SetFocusedNode(Target);
        EXPECT_EQ(B->PasteFromClipboard(), Case != 5);
        fw::ProcessMessages();
        // Two of four freed, all four moved, or nothing moved and the target gone.
        const std::uint32_t InB[] = {3, 3, 3, 3, 5, 0};
        EXPECT_EQ(B->TotalCount(), InB[Case]);
        EXPECT_EQ(A->TotalCount(), Case == 5 ? 4u : 0u);
        A->OnNodeMoving = nullptr;
        A->OnFreeNode = nullptr;
        B->OnNodeCopied = nullptr;
        B->OnNodeMoved = nullptr;
        delete A;
        delete B;
    }
}

// Clearing a tree whose cut or copy is pending takes its data off the
// clipboard; another tree's clear leaves it there.
TEST_F(TransferTest, ClearingATreeWithAPendingCutOrCopyEmptiesTheClipboard) {
    const fw::UINT Data = fw::RegisterClipboardFormat("Lazy Tree Data");
    for (bool Cut : {true, false}) {
        SCOPED_TRACE(Cut);
        Tree->SetRootNodeCount(3);
        Tree->SetSelected(Top(0), true);
        if (Cut)
            Tree->CutToClipboard();
        else
            Tree->CopyToClipboard();
        ASSERT_TRUE(fw::IsClipboardFormatAvailable(Data));
        Other->Clear();
        EXPECT_TRUE(fw::IsClipboardFormatAvailable(Data));
        Tree->Clear();
        EXPECT_FALSE(fw::IsClipboardFormatAvailable(Data));
        EXPECT_FALSE(Tree->TreeStates().Contains(tsCutPending));
        EXPECT_FALSE(Tree->TreeStates().Contains(tsCopyPending));
        EXPECT_FALSE(Other->PasteFromClipboard());
        EXPECT_EQ(Other->TotalCount(), 0u);
    }
}

TEST_F(TransferTest, ABusyClipboardIsReportedNotIgnored) {
    Tree->SetSelected(Top(0), true);
    Tree->CopyToClipboard();
    fw::SetClipboardBusy(true);
    try {
        Other->PasteFromClipboard();
        ADD_FAILURE() << "no error";
    } catch (const ELazyTreeError& E) {
        EXPECT_EQ(E.HelpContext(), hcTFClipboardFailed);
    }
    fw::SetClipboardBusy(false);
    EXPECT_EQ(Other->RootNodeCount(), 1u);
}

TEST_F(TransferTest, MessagesAndEditActionsReachTheClipboard) {
    Tree->SetSelected(Top(2), true);
    Tree->Perform(fw::WM_COPY, 0, 0);
    EXPECT_EQ(fw::ClipboardText(), "2\r\n");
    fw::TEditAction Paste(nullptr, fw::eaPaste), Cut(nullptr, fw::eaCut),
        Del(nullptr, fw::eaDelete);
    Other->SetFocus();
    Other->SetFocusedNode(nullptr);
    Paste.Update();
    EXPECT_TRUE(Paste.Enabled());
    EXPECT_TRUE(Paste.Execute());
    EXPECT_EQ(Other->RootNodeCount(), 2u);
    Cut.Update(); // nothing selected in the focused tree
    EXPECT_FALSE(Cut.Enabled());
    Tree->SetFocus();
    Del.Update();
    ASSERT_TRUE(Del.Enabled());
    Del.Execute();
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
    Tree->SetSelected(Top(0), true);
    Tree->Perform(fw::WM_CLEAR, 0, 0);
    EXPECT_EQ(Tree->RootNodeCount(), 1u);
}

TEST_F(TransferTest, TextRenderingsEscapeWhatTheirFormatsReserve) {
    Tree->Header()->Columns().Add()->SetText(u"Name, first");
    Tree->Header()->Columns().Add()->SetText(u"<Size & \"unit\">");
    Tree->Header()->SetOptions(Tree->Header()->Options() | hoVisible);
    Texts[{Top(0), 0}] = u"a<b>&\"c\"";
    Texts[{Top(0), 1}] = u"\u9000";
    Tree->Font().SetName("Sans {x}\\y");
    Tree->SetSelected(Top(0), true);
    Tree->CopyToClipboard();
    const std::string Html = Block("HTML Format");
    EXPECT_NE(Html.find(">a&lt;b&gt;&amp;&quot;c&quot;</td>"), std::string::npos);
    EXPECT_NE(Html.find(">&lt;Size &amp; &quot;unit&quot;&gt;</th>"), std::string::npos);
    EXPECT_NE(Html.find("\"Sans {x}\\y\""), std::string::npos);
    EXPECT_EQ(Html.find("<b>&"), std::string::npos);
    // Captions are quoted like cells.
    const std::string Csv = Block("CSV");
    EXPECT_EQ(Csv.rfind("\"Name, first\",\"<Size & \"\"unit\"\">\"\r\n", 0), 0u) << Csv;
    EXPECT_NE(Csv.find("\"a<b>&\"\"c\"\"\""), std::string::npos);
    // A character above U+7FFF is a negative 16-bit number; braces and
    // backslashes of the font name are escaped.
    const std::string Rtf = Block("Rich Text Format");
    EXPECT_NE(Rtf.find("\\u-28672\\'3f"), std::string::npos);
    EXPECT_NE(Rtf.find("Sans \\{x\\}\\\\y;"), std::string::npos);
    EXPECT_EQ(Rtf.find("\\u36864"), std::string::npos);
}

TEST_F(TransferTest, FormatsFollowTheTreesListAndTheApplication) {
    const fw::UINT Csv = fw::RegisterClipboardFormat("CSV");
    const fw::UINT Mine = fw::RegisterClipboardFormat("Bone list");
    Tree->ClipboardFormats().Add("CSV");
    Tree->OnGetUserClipboardFormats = [&](TBaseLazyTree*, std::vector<TFormatEtc>& Formats) {
        TFormatEtc F;
        F.cfFormat = static_cast<std::uint16_t>(Mine);
        Formats.push_back(F);
    };
    Tree->OnRenderOLEData = [&](TBaseLazyTree*, const TFormatEtc& F, TStgMedium& M, bool,
                                HRESULT& Result) {
        if (F.cfFormat != Mine) return;
        M.tymed = TYMED_HGLOBAL;
        M.hGlobal = fw::GlobalAlloc(4);
        std::memcpy(M.hGlobal->data(), "bone", 4);
        Result = S_OK;
    };
    TLTDataObject Data(Tree, true);
    std::vector<std::uint16_t> Offered;
    for (const TFormatEtc& F : Data.FormatEtcArray())
        Offered.push_back(F.cfFormat);
    EXPECT_EQ(Offered, (std::vector<std::uint16_t>{static_cast<std::uint16_t>(Csv),
                                                   static_cast<std::uint16_t>(Mine)}));
    Tree->SetSelected(Top(1), true);
    Tree->CopyToClipboard();
    EXPECT_EQ(Block("Bone list").substr(0, 4), "bone");
    EXPECT_EQ(Block("CSV"), "1\r\n");
    EXPECT_FALSE(fw::IsClipboardFormatAvailable(fw::CF_TEXT));
}

TEST_F(TransferTest, DataAdviseConnectionsComeWithTheFirstAdvise) {
    TLTDataObject Data(Tree, false);
    std::vector<TStatData> List;
    EXPECT_EQ(Data.EnumDAdvise(List), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(Data.DUnadvise(1), E_NOTIMPL);
    TFormatEtc Csv;
    Csv.cfFormat = ClipboardFormatNumber("CSV");
    int Told = 0;
    std::uint32_t First = 0, Second = 0;
    EXPECT_EQ(Data.DAdvise(
                  Csv, 0, [&](const TFormatEtc&, const TStgMedium&) { ++Told; }, First),
              S_OK);
    EXPECT_EQ(Data.DAdvise(
                  {}, 0, [&](const TFormatEtc&, const TStgMedium&) { Told += 10; }, Second),
              S_OK);
    EXPECT_NE(First, Second);
    ASSERT_EQ(Data.EnumDAdvise(List), S_OK);
    EXPECT_EQ(List.size(), 2u);
    // Stored data tells the sinks of its format and those of every format.
    TStgMedium M;
    M.tymed = TYMED_HGLOBAL;
    M.hGlobal = fw::GlobalAlloc(1);
    Data.SetData(Csv, M, false);
    EXPECT_EQ(Told, 11);
    TFormatEtc Other;
    Other.cfFormat = fw::CF_TEXT;
    Data.SetData(Other, M, false);
    EXPECT_EQ(Told, 21);
    EXPECT_EQ(Data.DUnadvise(First), S_OK);
    EXPECT_EQ(Data.DUnadvise(First), OLE_E_NOCONNECTION);
    Data.SetData(Csv, M, false);
    EXPECT_EQ(Told, 31);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(TransferTest, TheUnitsEndLetsGoOfWhatTheTreesShare) {
    Tree->SetShowHint(true);
    Tree->SetHintMode(hmHint);
    Tree->OnGetHint = [](TBaseLazyTree*, PLazyNode, int, TLSTTextType, std::u16string& Text) {
        Text = u"hint";
    };
    fw::MouseMoveTo(fw::ControlPoint(Tree, 30, 9));
    fw::AdvanceClock(fw::Application()->HintPause() + 10);
    ASSERT_NE(dynamic_cast<TLazyTreeHintWindow*>(fw::CurrentHintWindow()), nullptr);
    Tree->SetSelected(Top(0), true);
    Tree->CopyToClipboard();
    ASSERT_TRUE(GlobalsInitialized());
    Form.reset(); // the module's trees go first
    FinalizeLazyTreeUnit();
    EXPECT_FALSE(GlobalsInitialized());
    EXPECT_EQ(fw::CurrentHintWindow(), nullptr);
    EXPECT_EQ(fw::ClipboardSource(), nullptr);
    EXPECT_TRUE(ClipboardFormatRegistry().ListFormats(tcStringTree).size() > 0); // made anew
    EXPECT_NE(ClipboardFormatNumber("CSV"), 0);
    EXPECT_NE(CheckImageList(ckLightCheck), nullptr);
}

} // namespace
} // namespace vel
