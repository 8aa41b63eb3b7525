// Every event the trees raise, answered by a handler that deletes the node it
// was given, deletes another node, clears the tree or throws, while a workout
// drives the trees through painting, the mouse, the keyboard, editing,
// sorting, streams, the clipboard and drag and drop between two trees. Under
// the sanitizers a handler must never make a tree touch freed memory, and the
// totals must agree with a recount after every step.
//
// About ten to twenty seconds per action under the sanitizers, each action a
// test of its own so they run side by side. PROBE_EVENT=OnX,OnY follows
// those events alone; PROBE_TRACE=1 names each event's pass on stderr, which
// a sanitizer report follows (gtest's own output is lost when one aborts).
#include "FormTestEnv.h"
#include "LazyStringTree.h"
#include "LazyTreeDragDrop.h"
#include "LazyTreeEdit.h"
#include "TreeInvariants.h"
#include "TreeViewTestEnv.h"

#include "Clipbrd.h"
#include "ScopeExit.h"
#include "ImageList.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vel {
namespace {

enum class TAct { DeleteGiven, DeleteOther, Clear, Throw };

// A format of the program's own, which the trees render through OnRenderOLEData.
fw::UINT ProbeFormat() {
    static const fw::UINT Format = fw::RegisterClipboardFormat("Probe data");
    return Format;
}

// Counts and heights recounted node by node against the tree's totals, and
// the links both ways: a chain broken by a handler shows here, not later as a
// freed node still linked.
::testing::AssertionResult TotalsAgree(TBaseLazyTree& T) {
    std::uint32_t Total = 0, Visible = 0, Broken = 0;
    std::uint64_t Height = 0;
    std::vector<std::pair<PLazyNode, bool>> Stack;
    auto LinksAgree = [&Broken](PLazyNode N) {
        for (PLazyNode C = N->LastChild; C; C = C->PrevSibling)
            if (C->Parent != N || (C->PrevSibling ? C->PrevSibling->NextSibling : N->FirstChild) != C)
                ++Broken;
    };
    LinksAgree(T.RootNode());
    for (PLazyNode C = T.RootNode()->LastChild; C; C = C->PrevSibling)
        Stack.push_back({C, true});
    while (!Stack.empty()) {
        auto [N, ParentShown] = Stack.back();
        Stack.pop_back();
        ++Total;
        const bool Shown = ParentShown && (N->States & vsVisible);
        if (Shown) {
            ++Visible;
            Height += N->NodeHeight;
        }
        LinksAgree(N);
        for (PLazyNode C = N->LastChild; C; C = C->PrevSibling)
            Stack.push_back({C, Shown && (N->States & vsExpanded)});
    }
    int Selected = 0;
    for (PLazyNode N = T.GetFirstNoInit(); N; N = T.GetNextNoInit(N))
        if (N->States & vsSelected) ++Selected;
    if (Broken == 0 && T.TotalCount() == Total && T.VisibleCount() == Visible &&
        T.RangeY() == Height && T.SelectedCount() == Selected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "count " << T.TotalCount() << "/" << Total << ", visible " << T.VisibleCount() << "/"
           << Visible << ", height " << T.RangeY() << "/" << Height << ", selected "
           << T.SelectedCount() << "/" << Selected << ", broken links " << Broken;
}

class ProbeTree : public TLazyStringTree {
public:
    using TLazyStringTree::TLazyStringTree;
    int DoGetNodeWidth(PLazyNode, int, fw::TCanvas*) override { return 40; }
};

class ProbeTest : public fw::FormTest, public ::testing::WithParamInterface<TAct> {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Form->SetBounds(100, 100, 420, 240);
        Images = std::make_unique<fw::TImageList>(nullptr, 16, 16);
        fw::TBitmap Glyph(16, 16);
        Glyph.Canvas().Brush().SetColor(fw::clRed);
        Glyph.Canvas().FillRect({0, 0, 16, 16});
        Images->AddMasked(Glyph, fw::clFuchsia);
    }
    void TearDown() override {
        Form.reset(); // the trees go with the form, their handlers still armed
        Images.reset();
        FormTest::TearDown();
    }

    ProbeTree* MakeTree(int Left) {
        auto* T = Place<ProbeTree>(Left, 0, 200, 200);
        T->SetNodeDataSize(4);
        T->SetShowHint(true);
        T->SetHintMode(hmHintAndDefault);
        T->SetImages(Images.get());
        T->SetStateImages(Images.get());
        T->SetIncrementalSearch(TBaseLazyTree::TLTIncrementalSearch::isAll);
        T->SetDragType(dtOLE);
        T->TreeOptions()->SetMiscOptions(T->MiscOptions() | toCheckSupport | toEditable |
                                         toAcceptOLEDrop | toVariableNodeHeight);
        T->TreeOptions()->SetSelectionOptions(T->SelectionOptions() | toMultiSelect |
                                              toRightClickSelect);
        T->TreeOptions()->SetPaintOptions(T->PaintOptions() | toHotTrack | toShowBackground);
        T->TreeOptions()->SetAutoOptions(T->AutoOptions() | toAutoTristateTracking |
                                         toAutoDeleteMovedNodes | toAutoSpanColumns);
        T->SetLineStyle(lsCustomStyle);
        T->Header()->Columns().Add()->SetWidth(120);
        T->Header()->Columns().Add()->SetWidth(120);
        T->Header()->SetOptions(T->Header()->Options() | hoVisible | hoDrag | hoShowSortGlyphs |
                                hoHotTrack);
        T->Header()->SetSortColumn(0);
        return T;
    }

    // The handler of every event: it acts once per armed event (twice for
    // the node it was given, to meet a second path), then answers as a
    // program would.
    template <class R, class... A>
    void Hook(TBaseLazyTree* T, std::function<R(A...)>& Event, const char* Name,
              std::function<R(A...)> Base = {}) {
        HookEvent(
            Event, [this, T, Name](const std::vector<PLazyNode>& Nodes) { React(T, Name, Nodes); },
            std::move(Base));
    }
    void React(TBaseLazyTree* T, const char* Name, const std::vector<PLazyNode>& Nodes) {
        ++Raised[Name];
        if (Armed != Name || Acted >= 2) return;
        ++Acted;
        switch (GetParam()) {
        case TAct::DeleteGiven:
            for (PLazyNode N : Nodes)
                if (N != T->RootNode() && TreeFromNode(N) == T) T->DeleteNode(N);
            break;
        case TAct::DeleteOther:
            if (PLazyNode N = T->GetLast()) T->DeleteNode(N);
            if (PLazyNode N = T->FocusedNode()) T->DeleteNode(N);
            break;
        case TAct::Clear:
            T->Clear();
            break;
        case TAct::Throw:
            throw std::runtime_error(std::string("probe ") + Name);
        }
    }

    void HookAll(ProbeTree* T);
    void Workout();
    // One step of the workout: an exception a throwing handler sends is the
    // step's end; the trees must still agree with a recount.
    void Step(const char* What, const std::function<void()>& F) {
        try {
            F();
            fw::ProcessMessages();
        } catch (const std::exception& E) {
            // A handler's own exception passes; anything else is the tree's fault.
            if (std::string(E.what()).starts_with("probe "))
                ++Thrown;
            else
                ADD_FAILURE() << Armed << " / " << What << ": " << E.what();
        }
        for (ProbeTree* T : {A, B}) {
            if (T) {
                EXPECT_EQ(T->Owner(), Form.get()) << What;
            }
            if (T && !T->HandlerRunning()) {
                EXPECT_TRUE(TotalsAgree(*T)) << Armed << " / " << What << (T == A ? " A" : " B");
            }
        }
    }
    fw::TPoint At(TBaseLazyTree* T, int X, int Row) {
        return fw::ControlPoint(T, X, T->Header()->Height() + Row * 18 + 9);
    }

    std::unique_ptr<fw::TImageList> Images;
    ProbeTree* A = nullptr;
    ProbeTree* B = nullptr;
    std::string Armed;
    int Acted = 0;
    int Thrown = 0;
    std::map<std::string, int> Raised;
};

#define PROBE_EVENTS(X)                                                                         \
    X(OnFreeNode) X(OnResetNode) X(OnMeasureItem) X(OnCompareNodes) X(OnChange)                 \
    X(OnStructureChange) X(OnStateChange) X(OnUpdating) X(OnExpanding) X(OnExpanded)            \
    X(OnCollapsing) X(OnCollapsed) X(OnFocusChanging) X(OnFocusChanged) X(OnChecking)           \
    X(OnChecked) X(OnNodeMoving) X(OnNodeMoved) X(OnNodeCopying) X(OnNodeCopied)                \
    X(OnGetCellIsEmpty) X(OnIncrementalSearch) X(OnScroll) X(OnGetPopupMenu) X(OnHotChange)     \
    X(OnKeyAction) X(OnGetCursor) X(OnHeaderClick) X(OnHeaderDblClick) X(OnHeaderMouseDown)     \
    X(OnHeaderMouseUp) X(OnHeaderMouseMove) X(OnHeaderDragging) X(OnHeaderDragged)              \
    X(OnHeaderDraggedOut) X(OnHeaderDraw) X(OnHeaderDrawQueryElements) X(OnGetHeaderCursor)     \
    X(OnColumnResize) X(OnBeforePaint) X(OnAfterPaint) X(OnBeforeItemErase) X(OnAfterItemErase) \
    X(OnBeforeItemPaint) X(OnAfterItemPaint) X(OnBeforeCellPaint) X(OnAfterCellPaint)           \
    X(OnPaintBackground) X(OnGetImageIndex) X(OnGetLineStyle) X(OnRenderOLEData)                \
    X(OnGetHelpContext) X(OnColumnClick) X(OnColumnDblClick) X(OnCreateDataObject)              \
    X(OnCreateDragManager) X(OnEditing) X(OnEdited) X(OnEditCancelled) X(OnPaintText)           \
    X(OnGetHint) X(OnNewText) X(OnShortenString)

// Events with an answer the workout needs keep it behind the probe.
void ProbeTest::HookAll(ProbeTree* T) {
#define HOOK(E) Hook(T, T->E, #E);
    PROBE_EVENTS(HOOK)
#undef HOOK
    Hook(
        T, T->OnInitNode, "OnInitNode",
        decltype(T->OnInitNode)([](TBaseLazyTree*, PLazyNode P, PLazyNode N, TLTInternalStates& S) {
            if (!P || N->Index == 0) S |= ivsHasChildren;
            S |= ivsExpanded;
        }));
    Hook(T, T->OnInitChildren, "OnInitChildren",
         decltype(T->OnInitChildren)([](TBaseLazyTree* Sender, PLazyNode N, std::uint32_t& Count) {
             Count = Sender->GetNodeLevel(N) < 2 ? 2 : 0;
             Sender->SetCheckType(N, ctTriStateCheckBox);
         }));
    Hook(T, T->OnGetText, "OnGetText",
         decltype(T->OnGetText)(
             [](TBaseLazyTree*, PLazyNode N, int Column, TLSTTextType, std::u16string& Text) {
                 // Column 1 is empty on odd rows, so spanning asks about empty cells.
                 if (Column > 0 && N->Index % 2) {
                     Text.clear();
                     return;
                 }
                 Text = u"node " + std::u16string(1, static_cast<char16_t>(u'a' + N->Index % 26)) +
                        (Column > 0 ? u" more" : u"");
             }));
    Hook(T, T->OnCreateEditor, "OnCreateEditor",
         decltype(T->OnCreateEditor)(
             [](TBaseLazyTree*, PLazyNode, int, std::shared_ptr<ILTEditLink>& Link) {
                 Link = std::make_shared<TStringEditLink>();
             }));
    Hook(T, T->OnGetNodeDataSize, "OnGetNodeDataSize",
         decltype(T->OnGetNodeDataSize)([](TBaseLazyTree*, int& Size) { Size = 4; }));
    // A user chunk of four bytes per node, so that reading meets OnLoadNode.
    Hook(T, T->OnSaveNode, "OnSaveNode",
         decltype(T->OnSaveNode)([](TBaseLazyTree*, PLazyNode N, fw::TStream& S) {
             const std::uint32_t Tag = N->Index;
             S.WriteBuffer(&Tag, sizeof Tag);
         }));
    Hook(T, T->OnLoadNode, "OnLoadNode",
         decltype(T->OnLoadNode)([](TBaseLazyTree*, PLazyNode, fw::TStream& S) {
             std::uint32_t Tag = 0;
             S.ReadBuffer(&Tag, sizeof Tag);
         }));
    Hook(T, T->OnGetUserClipboardFormats, "OnGetUserClipboardFormats",
         decltype(T->OnGetUserClipboardFormats)([](TBaseLazyTree*, std::vector<TFormatEtc>& F) {
             TFormatEtc Own;
             Own.cfFormat = static_cast<std::uint16_t>(ProbeFormat());
             Own.tymed = TYMED_HGLOBAL;
             F.push_back(Own);
         }));
    HookDragAndDrop(T, [this, T](auto& Event, const char* Name, auto Answer) {
        Hook(T, Event, Name, std::move(Answer));
    });
}

void ProbeTest::Workout() {
    Step("show", [&] {
        Show();
        A->SetFocus();
    });
    Step("root counts", [&] {
        A->SetRootNodeCount(4);
        B->SetRootNodeCount(2);
    });
    Step("paint", [&] {
        fw::TBitmap Shot;
        for (ProbeTree* T : {A, B}) {
            Shot.SetSize(T->Width(), T->Height());
            fw::PaintControlTo(T, Shot.Surface());
        }
        // Once more with a column too narrow for its text, which is shortened.
        A->Header()->Columns()[1].SetWidth(30);
        Shot.SetSize(A->Width(), A->Height());
        fw::PaintControlTo(A, Shot.Surface());
        A->Header()->Columns()[1].SetWidth(120);
    });
    Step("hover and hint", [&] {
        fw::MouseMoveTo(At(A, 60, 1));
        fw::MouseMoveTo(At(A, 64, 2));
        fw::AdvanceClock(3000);
        fw::ProcessMessages();
        fw::MouseMoveTo(fw::ControlPoint(A, 60, 5)); // the header
        fw::AdvanceClock(3000);
    });
    Step("click rows", [&] {
        ClickOn(A, 70, A->Header()->Height() + 9);
        ClickOn(A, 70, A->Header()->Height() + 27, fw::ssShift);
        ClickOn(A, 70, A->Header()->Height() + 45, fw::ssCtrl);
        fw::DoubleClickAt(At(A, 150, 2)); // a cell of the second column
    });
    Step("click check boxes and buttons", [&] {
        for (int Row = 0; Row < 4; ++Row)
            for (int X : {8, 26, 44})
                ClickOn(A, X, A->Header()->Height() + Row * 18 + 9);
    });
    Step("keys", [&] {
        for (std::uint16_t K :
             {fw::VK_DOWN, fw::VK_UP, fw::VK_RIGHT, fw::VK_LEFT, fw::VK_ADD, fw::VK_SUBTRACT,
              fw::VK_MULTIPLY, fw::VK_SPACE, fw::VK_HOME, fw::VK_END, fw::VK_NEXT, fw::VK_PRIOR,
              fw::VK_APPS, fw::VK_F1, fw::VK_TAB})
            fw::PressKey(K);
        fw::KeyChar('n');
        fw::KeyChar('o');
        fw::AdvanceClock(2000);
    });
    Step("search", [&] {
        A->SetFocus();
        fw::PressKey('N'); // a key down, then its character
        fw::PressKey('O');
        fw::AdvanceClock(2000);
    });
    Step("edit", [&] {
        A->EditNode(A->GetFirst(), 0);
        fw::ProcessMessages();
        fw::KeyChar('z');
        fw::PressKey(fw::VK_RETURN);
        A->EditNode(A->GetFirst(), 1);
        fw::PressKey(fw::VK_ESCAPE);
        fw::PressKey(fw::VK_F2);
        fw::AdvanceClock(2000);
        A->EndEditNode();
    });
    Step("header", [&] {
        ClickOn(A, 30, 5);
        ClickOn(A, 150, 5);
        fw::DoubleClickAt(fw::ControlPoint(A, 30, 5));
        fw::MouseDownAt(fw::ControlPoint(A, 119, 5)); // resize the first column
        fw::MouseMoveTo(fw::ControlPoint(A, 140, 5), fw::ssLeft);
        fw::MouseUpAt(fw::ControlPoint(A, 140, 5));
        // Drag it out, past the tree's right edge: the rows shown so far may not
        // bring up a vertical bar to drop it on.
        const int Out = A->Width() + 20;
        fw::MouseDownAt(fw::ControlPoint(A, 30, 5));
        fw::MouseMoveTo(fw::ControlPoint(A, 80, 5), fw::ssLeft);
        fw::MouseMoveTo(fw::ControlPoint(A, Out, 5), fw::ssLeft);
        fw::MouseUpAt(fw::ControlPoint(A, Out, 5));
        fw::MouseDownAt(fw::ControlPoint(A, 160, 5)); // the second in front, let go below
        fw::MouseMoveTo(fw::ControlPoint(A, 100, 5), fw::ssLeft);
        fw::MouseMoveTo(At(A, 20, 1), fw::ssLeft);
        fw::MouseUpAt(At(A, 20, 1));
        A->Header()->Columns()[0].SetPosition(0); // the rows' steps expect the first column first
        ClickOn(A, 30, 5, 0, fw::mbRight);
    });
    Step("popup", [&] { ClickOn(A, 70, A->Header()->Height() + 9, 0, fw::mbRight); });
    Step("structure", [&] {
        A->FullExpand();
        A->SortTree(0, sdDescending);
        if (PLazyNode N = A->GetFirst()) A->SetNodeHeight(N, 30);
        if (PLazyNode N = A->GetLast()) A->ScrollIntoView(N, true, true);
        A->GetNodeAt(20, 40);
        A->FullCollapse();
        if (PLazyNode N = A->GetFirst()) A->ToggleNode(N);
        if (PLazyNode N = A->GetFirst()) A->ReinitNode(N, true);
        if (PLazyNode N = A->GetLast()) A->ResetNode(N);
        if (PLazyNode N = A->GetFirst()) A->SetCheckState(N, csCheckedNormal);
        A->SelectAll(false);
        A->InvertSelection(false);
        A->SelectAll(true);
        A->ClearSelection();
    });
    Step("wheel and scroll", [&] {
        fw::MouseWheelAt(At(A, 50, 1), -120);
        fw::MouseWheelAt(At(A, 50, 1), 120);
    });
    Step("streams", [&] {
        fw::TMemoryStream S;
        A->SaveToStream(S);
        S.SetPosition(0);
        B->LoadFromStream(S);
        // One node's chunk below B's first node: past the magic and the count.
        fw::TMemoryStream One;
        if (PLazyNode N = A->GetFirst()) A->SaveToStream(One, N);
        One.SetPosition(16);
        if (PLazyNode N = B->GetFirst(); N && One.Size() > 16) B->AddNodeFromStream(One, 2, N);
    });
    Step("copy and move between trees", [&] {
        if (PLazyNode N = A->GetFirst()) A->CopyTo(N, B->GetFirst(), amAddChildLast, false);
        if (PLazyNode N = B->GetLast()) B->MoveTo(N, A, amAddChildFirst, false);
        if (PLazyNode N = A->GetLast()) A->MoveTo(N, A->GetFirst(), amInsertBefore, false);
    });
    Step("clipboard", [&] {
        A->SelectAll(false);
        A->CopyToClipboard();
        if (fw::OpenClipboard(0)) {
            fw::TScopeExit Close([] { fw::CloseClipboard(); });
            fw::GetClipboardData(ProbeFormat());
        }
        B->SetFocus();
        B->PasteFromClipboard();
        if (PLazyNode N = A->GetFirst()) A->SetSelected(N, true);
        A->CutToClipboard();
        A->PasteFromClipboard();
        B->PasteFromClipboard();
    });
    Step("drag to the other tree", [&] {
        A->SetFocus();
        fw::MouseDownAt(At(A, 70, 0));
        fw::MouseMoveTo(At(A, 90, 0), fw::ssLeft);
        fw::MouseMoveTo(At(B, 70, 0), fw::ssLeft);
        fw::MouseMoveTo(At(B, 70, 1), fw::ssLeft);
        fw::MouseUpAt(At(B, 70, 1));
    });
    Step("drag within", [&] {
        fw::MouseDownAt(At(A, 70, 1));
        fw::MouseMoveTo(At(A, 90, 1), fw::ssLeft);
        fw::MouseMoveTo(At(A, 70, 0), fw::ssLeft);
        fw::MouseUpAt(At(A, 70, 0));
    });
    Step("rubber band", [&] {
        fw::MouseDownAt(At(A, 190, 0));
        fw::MouseMoveTo(At(A, 100, 3), fw::ssLeft);
        fw::MouseUpAt(At(A, 100, 3));
    });
    Step("delete", [&] {
        A->SelectAll(false);
        A->DeleteSelectedNodes();
        B->SetFocus();
        fw::PressKey(fw::VK_DOWN);
        B->Clear();
    });
}

TEST_P(ProbeTest, EveryEventSurvivesItsHandler) {
    std::vector<std::string> Names = {"OnInitNode",        "OnInitChildren", "OnGetText",
                                      "OnCreateEditor",    "OnDragAllowed",  "OnDragOver",
                                      "OnDragDrop",        "OnGetNodeDataSize", "OnSaveNode",
                                      "OnLoadNode",        "OnGetUserClipboardFormats"};
#define NAME(E) Names.push_back(#E);
    PROBE_EVENTS(NAME)
#undef NAME
    std::map<std::string, int> Seen;
    const char* Only = std::getenv("PROBE_EVENT"); // to follow one event alone
    for (const std::string& Name : Names) {
        if (Only && ("," + std::string(Only) + ",").find("," + Name + ",") == std::string::npos)
            continue;
        Form = std::make_unique<fw::TForm>(nullptr);
        Form->SetBounds(100, 100, 420, 240);
        if (fw::OpenClipboard(0)) {
            fw::EmptyClipboard();
            fw::CloseClipboard();
        }
        A = MakeTree(0);
        B = MakeTree(210);
        HookAll(A);
        HookAll(B);
        // A draws its header through the advanced handlers, B through
        // OnHeaderDraw; B asks its node size of OnGetNodeDataSize.
        A->OnAdvancedHeaderDraw = [](TLTHeader*, THeaderPaintInfo&, THeaderPaintElements) {};
        for (ProbeTree* T : {A, B})
            T->Header()->SetOptions(T->Header()->Options() | hoOwnerDraw);
        B->SetNodeDataSize(-1);
        B->Header()->Columns()[0].SetStyle(vsOwnerDraw);
        Armed = Name;
        if (std::getenv("PROBE_TRACE")) std::fprintf(stderr, "probe pass %s\n", Name.c_str());
        Acted = 0;
        Raised.clear();
        Workout();
        Seen[Name] = Raised[Name];
        Form.reset();
        A = B = nullptr;
    }
    // The workout reaches every event, so each handler's action was tried.
    for (const auto& [Name, Count] : Seen)
        EXPECT_GT(Count, 0) << Name << " never raised";
}

std::string ActName(const ::testing::TestParamInfo<TAct>& Info) {
    const char* N[] = {"DeleteGiven", "DeleteOther", "Clear", "Throw"};
    return N[static_cast<int>(Info.param)];
}

INSTANTIATE_TEST_SUITE_P(Actions, ProbeTest,
                         ::testing::Values(TAct::DeleteGiven, TAct::DeleteOther, TAct::Clear,
                                           TAct::Throw),
                         ActName);

} // namespace
} // namespace vel
