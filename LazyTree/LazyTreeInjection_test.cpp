// The injection probe: every public operation of the tree that can run a
// handler or a paint (the list below; a new operation joins it) runs once for
// each hostile action and each N = 1, 2, ..., the action done at the Nth
// handler call of any tree on the form, paints included (fw::TProbeScope
// runs before every event fired, set or not), until an N finds no call left.
// Actions on a node reach the node a free handler is given too. A deletion
// the action asks for is seen at once: the nodes it took are gone from the
// counts, walks, selection and focus when it returns, and nodes the handler
// adds next are still there when the run ends. After each run every
// invariant of TreeInvariants.h holds on both trees, a save of each loads
// back the same, and the sanitizers watch every read.
//
// The suite runs N up to 3 and, past it, 3 more spread over the calls left
// (each action from another start); TREE_PROBE_FULL=1 runs every N
// (docs/tree.md has the counts).
// TREE_PROBE_OP=name follows one operation; TREE_PROBE_TRACE=1 names each run
// on stderr, which a sanitizer report follows.
#include "LazyTreeEdit.h"
#include "LazyTreeInternal.h"
#include "TreeInvariants.h"
#include "TreeViewTestEnv.h"

#include "Clipbrd.h"
#include "ScopeExit.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace vel {
namespace {

enum class TAct {
    DeleteGiven, DeleteParent, DeleteTarget, DeleteOther, ClearThis, ClearOther, Sort, Add, Move,
    ChildCounts, Heights, Visibility, Touch, DeleteColumn, EndEdit, CancelEdit, ReadStream,
    WriteStream, FreeOther, Throw
};
const char* const ActNames[] = {
    "DeleteGiven", "DeleteParent", "DeleteTarget", "DeleteOther", "ClearThis", "ClearOther",
    "Sort", "Add", "Move", "ChildCounts", "Heights", "Visibility", "Touch", "DeleteColumn",
    "EndEdit", "CancelEdit", "ReadStream", "WriteStream", "FreeOther", "Throw"};

// A string tree that tells which node its free handler is given: the actions
// reach that one too, unlinked and on its way out.
class TProbeTree : public TLazyStringTree {
public:
    using TLazyStringTree::TLazyStringTree;
    void DoFreeNode(PLazyNode Node) override {
        Freeing.push_back(Node);
        fw::TScopeExit Pop([this] { Freeing.pop_back(); });
        TLazyStringTree::DoFreeNode(Node);
    }
    PLazyNode Going() const { return Freeing.empty() ? nullptr : Freeing.back(); }
    std::vector<PLazyNode> Freeing;
};

class InjectionProbe : public fw::FormTest, public ::testing::WithParamInterface<TAct> {
protected:
    using TOp = std::function<void(InjectionProbe&)>;
    struct TOperation {
        const char* Name;
        TOp Run;
        bool DropsTopNodes = false; // may itself delete top-level nodes of A a handler added
    };
    static const std::vector<TOperation>& Operations();

    // Two trees on a fresh form: A with three top-level nodes (the first
    // expanded, the first two with two children, the second of which has
    // two), B with two.
    void Build() {
        Form = std::make_unique<fw::TForm>(nullptr);
        Form->SetBounds(100, 100, 440, 220);
        A = Make(0, 3);
        B = Make(220, 2);
        B->SetName("Other");
        OtherFreed = false;
        Show();
        A->SetFocus();
        A->SetExpanded(Top(0), true);
        for (TProbeTree* T : {A, B}) // toggles from now on slide
            T->TreeOptions()->SetAnimationOptions(T->TreeOptions()->AnimationOptions() |
                                                  toAnimatedToggle);
        A->SetSelected(Top(1), true);
        A->SetFocusedNode(Top(1));
        if (Saved.Size() == 0) A->SaveToStream(Saved); // the same each time
        A->ValidateNode(nullptr, true);
        Given = Top(0);
        Target = B->GetFirst();
        B->Invalidate(); // a paint of the form paints both
    }
    TProbeTree* Make(int Left, std::uint32_t Count) {
        auto* T = Place<TProbeTree>(Left, 0, 210, 200);
        T->SetNodeDataSize(4);
        T->TreeOptions()->SetMiscOptions(T->MiscOptions() | toCheckSupport | toEditable |
                                         toAcceptOLEDrop | toInitOnSave);
        T->TreeOptions()->SetSelectionOptions(T->SelectionOptions() | toMultiSelect);
        T->TreeOptions()->SetAutoOptions(T->AutoOptions() | toAutoTristateTracking);
        T->SetDragType(dtOLE);
        for (int I = 0; I < 2; ++I)
            T->Header()->Columns().Add()->SetWidth(100);
        T->Header()->SetOptions(T->Header()->Options() | hoVisible);
        // Three levels: a deletion walks down the last children.
        T->OnInitNode = [](TBaseLazyTree* Sender, PLazyNode Parent, PLazyNode N,
                           TLTInternalStates& S) {
            if ((!Parent && N->Index < 2) || (Sender->GetNodeLevel(N) == 1 && N->Index == 1))
                S |= ivsHasChildren;
        };
        T->OnInitChildren = [](TBaseLazyTree* S, PLazyNode N, std::uint32_t& Count) {
            Count = 2;
            S->SetCheckType(N, ctTriStateCheckBox);
        };
        // Descending, each sort turns the siblings round.
        T->OnCompareNodes = [](TBaseLazyTree*, PLazyNode X, PLazyNode Y, int, int& R) {
            R = int(X->Index) - int(Y->Index);
        };
        T->OnSaveNode = [](TBaseLazyTree*, PLazyNode N, fw::TStream& S) { S.WriteU32(N->Index); };
        T->OnLoadNode = [](TBaseLazyTree*, PLazyNode, fw::TStream& S) { S.ReadU32(); };
        HookDragAndDrop(T, [](auto& Event, const char*, auto Answer) { Event = Answer; });
        T->SetRootNodeCount(Count);
        return T;
    }
    PLazyNode Top(int I) { return TopNode(*A, I); }
    // B, unless the action freed it.
    TProbeTree* Other() const { return OtherFreed ? nullptr : B; }
    void FreeOther();
    fw::TPoint Row(TBaseLazyTree* T, int X, int R) {
        return fw::ControlPoint(T, X, T->Header()->Height() + R * 18 + 9);
    }
    void Click(int X, int R) { ClickOn(A, X, A->Header()->Height() + R * 18 + 9); }
    // The left button pressed at the first point, moved through the others, let go at the last.
    static void Drag(std::initializer_list<fw::TPoint> Path) {
        fw::MouseDownAt(*Path.begin());
        for (const fw::TPoint& P : Path)
            fw::MouseMoveTo(P, fw::ssLeft);
        fw::MouseUpAt(*(Path.end() - 1));
    }
    // Whether Node is still linked in T: an action touches no other node.
    static bool Alive(TBaseLazyTree* T, PLazyNode Node) {
        for (PLazyNode N = Node ? T->GetFirstNoInit() : nullptr; N; N = T->GetNextNoInit(N))
            if (N == Node) return true;
        return false;
    }
    bool Live(PLazyNode N) { return Alive(A, N); }
    PLazyNode ParentOf(PLazyNode N) { return N->Parent == A->RootNode() ? nullptr : N->Parent; }
    // At most Keep of Parent's children (nil: the root's) stay once a deletion
    // returns, unless it was refused: their parent's children go already.
    static void ExpectChildren(TProbeTree* T, PLazyNode Parent, std::uint32_t Keep) {
        PLazyNode P = Parent ? Parent : T->RootNode();
        if ((Parent && !Alive(T, Parent)) || (P->States & (vsClearing | vsDeleting))) return;
        std::uint32_t Stay = 0;
        for (PLazyNode C = P->FirstChild; C; C = C->NextSibling)
            Stay += lt::DeletionRuns(C) ? 0 : 1;
        EXPECT_LE(Stay, Keep) << "children a deletion took are still there";
    }
    static void ExpectAtOnce(TProbeTree* T);
    // Nodes added right after a deletion: counted at once, kept to the run's end.
    void AddAfter(TProbeTree* T) {
        for (int I = 0; I < 2; ++I)
            if (PLazyNode N = T->AddChild(nullptr)) Added.push_back({T, N});
        ExpectAtOnce(T);
    }
    static void ExpectRoundTrip(TProbeTree* T);
    void Act();
    bool RunOnce(const TOperation& Op, int N, int& Calls);

    TProbeTree* A = nullptr;
    TProbeTree* B = nullptr;
    PLazyNode Given = nullptr;  // the node the operation works on (in A)
    PLazyNode Target = nullptr; // the node it copies or moves to (in B)
    fw::TMemoryStream Saved;    // A as it was built
    std::vector<std::pair<TProbeTree*, PLazyNode>> Added; // by the action, after its deletion
    bool OtherFreed = false;
    int OtherTold = 0, OtherToldAtFree = 0; // B's OnFreeNode calls: all, and by the free's end
};

// B freed from a handler is gone at once: its initialised nodes were each
// told inside the free, and it is found by no name and in no list of the form.
void InjectionProbe::FreeOther() {
    int Initialised = 0;
    for (PLazyNode N = B->GetFirstNoInit(); N; N = B->GetNextNoInit(N))
        Initialised += (N->States & (vsInitialized | vsInitialUserData)) ? 1 : 0;
    B->OnFreeNode = [this](TBaseLazyTree*, PLazyNode) { ++OtherTold; };
    OtherFreed = true;
    fw::Free(B);
    OtherToldAtFree = OtherTold;
    EXPECT_GE(OtherToldAtFree, Initialised) << "nodes of a freed tree not told at once";
    EXPECT_EQ(Form->FindComponent("Other"), nullptr);
    for (int I = 0; I < Form->ControlCount(); ++I)
        EXPECT_NE(Form->Controls(I), static_cast<fw::TControl*>(B));
}

// The tree's counts, selection and focus agree with a walk (the nodes a
// running read links count once that read ends, and its selection with them).
void InjectionProbe::ExpectAtOnce(TProbeTree* T) {
    std::uint32_t Linked = 0;
    int Selected = 0;
    bool Reading = false, FocusLinked = !T->FocusedNode();
    for (PLazyNode N = T->GetFirstNoInit(); N; N = T->GetNextNoInit(N)) {
        Reading = Reading || (N->Internal & (lt::nfRaw | lt::nfReadInto));
        if (N->Internal & lt::nfRaw) continue;
        ++Linked;
        Selected += (N->States & vsSelected) ? 1 : 0;
        FocusLinked = FocusLinked || N == T->FocusedNode();
    }
    EXPECT_EQ(T->TotalCount(), Linked);
    if (!Reading) {
        EXPECT_EQ(T->SelectedCount(), Selected);
    }
    EXPECT_TRUE(FocusLinked) << "the focus on a node not in the tree";
}

// A save loads back as the same nodes at the same levels.
void InjectionProbe::ExpectRoundTrip(TProbeTree* T) {
    fw::TMemoryStream S;
    T->SaveToStream(S);
    TProbeTree Copy(nullptr);
    Copy.SetNodeDataSize(4);
    Copy.OnLoadNode = T->OnLoadNode;
    S.SetPosition(0);
    Copy.LoadFromStream(S);
    auto Levels = [](TBaseLazyTree& Tree) {
        std::vector<std::uint32_t> R;
        for (PLazyNode N = Tree.GetFirstNoInit(); N; N = Tree.GetNextNoInit(N))
            R.push_back(Tree.GetNodeLevel(N));
        return R;
    };
    EXPECT_EQ(Levels(Copy), Levels(*T));
}

// Each action on a node works on the one a free handler of the tree is given
// and the operation's node (Mine), or on B's and the target (Theirs).
void InjectionProbe::Act() {
    std::vector<PLazyNode> Mine, Theirs;
    for (PLazyNode N : {A->Going(), Alive(A, Given) ? Given : nullptr})
        if (N) Mine.push_back(N);
    for (PLazyNode N : {B->Going(), Alive(B, Target) ? Target : nullptr})
        if (N) Theirs.push_back(N);
    // A node the first steps freed is not touched again.
    auto Each = [](TProbeTree* T, const std::vector<PLazyNode>& Nodes, auto&& F) {
        for (PLazyNode N : Nodes)
            if (N == T->Going() || Alive(T, N)) F(N);
    };
    // Each deletion is checked as it returns (a node whose deletion runs
    // already is left to that one), then nodes are added behind it.
    auto Delete = [](TProbeTree* T, PLazyNode N) {
        if (!N) return;
        T->DeleteNode(N);
        EXPECT_TRUE(!Alive(T, N) || lt::DeletionRuns(N)) << "a deleted node is still in the tree";
    };
    switch (GetParam()) {
    case TAct::DeleteGiven:
        Each(A, Mine, [&](PLazyNode N) { Delete(A, N); });
        AddAfter(A);
        break;
    case TAct::DeleteParent:
        Each(A, Mine, [&](PLazyNode N) {
            if (!N->Parent) return;
            if (PLazyNode P = ParentOf(N)) {
                Delete(A, P);
            } else {
                A->DeleteChildren(nullptr);
                ExpectChildren(A, nullptr, 0);
            }
        });
        AddAfter(A);
        break;
    case TAct::DeleteTarget:
        Each(B, Theirs, [&](PLazyNode N) { Delete(B, N); });
        AddAfter(B);
        break;
    case TAct::DeleteOther:
        Delete(B, B->GetFirstNoInit());
        Delete(B, B->GetLastNoInit());
        AddAfter(B);
        break;
    case TAct::ClearThis:
    case TAct::ClearOther: {
        TProbeTree* T = GetParam() == TAct::ClearThis ? A : B;
        T->Clear();
        ExpectChildren(T, nullptr, 0);
        AddAfter(T);
        break;
    }
    case TAct::Sort:
        Each(A, Mine, [&](PLazyNode N) {
            if (N->Parent) A->Sort(ParentOf(N), 0, sdDescending, false);
            A->Sort(N, 0, sdDescending, false);
        });
        B->SortTree(0, sdDescending);
        break;
    case TAct::Add:
        A->AddChild(nullptr);
        Each(A, Mine, [&](PLazyNode N) { A->AddChild(N); });
        Each(B, Theirs, [&](PLazyNode N) { B->AddChild(N); });
        break;
    case TAct::Move:
        Each(A, Mine, [&](PLazyNode N) { A->MoveTo(N, A->GetLastNoInit(), amInsertAfter, false); });
        Each(A, Mine, [&](PLazyNode N) { A->MoveTo(N, B, amAddChildFirst, false); });
        if (PLazyNode N = B->GetLastNoInit()) B->MoveTo(N, A, amAddChildLast, false);
        break;
    case TAct::ChildCounts: {
        Each(A, Mine, [&](PLazyNode N) {
            const std::uint32_t Count = N->ChildCount ? 1 : 3;
            A->SetChildCount(N, Count);
            ExpectChildren(A, N, Count);
        });
        const std::uint32_t Count = A->RootNodeCount() > 1 ? 1 : 4;
        A->SetRootNodeCount(Count);
        ExpectChildren(A, nullptr, Count);
        B->SetRootNodeCount(4);
        ExpectChildren(B, nullptr, 4);
        AddAfter(A);
        AddAfter(B);
        break;
    }
    case TAct::Heights:
        Each(A, Mine, [&](PLazyNode N) { A->SetNodeHeight(N, N->NodeHeight + 23); });
        if (PLazyNode N = A->GetLastNoInit()) A->SetNodeHeight(N, 5);
        Each(B, Theirs, [&](PLazyNode N) { B->SetNodeHeight(N, 40); });
        break;
    case TAct::Visibility:
        Each(A, Mine, [&](PLazyNode N) { A->SetVisible(N, !(N->States & vsVisible)); });
        Each(A, Mine, [&](PLazyNode N) { A->ToggleNode(N); });
        if (PLazyNode N = A->GetFirstNoInit()) A->ToggleNode(N);
        Each(B, Theirs, [&](PLazyNode N) { B->SetVisible(N, false); });
        break;
    case TAct::Touch: // focus, select, check, initialise and edit
        Each(A, Mine, [&](PLazyNode N) { A->SetFocusedNode(N); });
        Each(A, Mine, [&](PLazyNode N) { A->SetSelected(N, true); });
        Each(A, Mine, [&](PLazyNode N) { A->SetCheckState(N, csCheckedNormal); });
        Each(A, Mine, [&](PLazyNode N) { A->ReinitNode(N, true); });
        Each(A, Mine, [&](PLazyNode N) { A->EditNode(N, 0); });
        break;
    case TAct::DeleteColumn:
        for (TBaseLazyTree* T : {static_cast<TBaseLazyTree*>(A), static_cast<TBaseLazyTree*>(B)})
            if (T->Header()->Columns().Count() > 0) T->Header()->Columns().Delete(0);
        break;
    case TAct::EndEdit:
        A->EndEditNode();
        B->EndEditNode();
        break;
    case TAct::CancelEdit:
        A->CancelEditNode();
        B->CancelEditNode();
        break;
    case TAct::ReadStream: {
        Saved.SetPosition(16); // the first node's chunk
        A->AddNodeFromStream(Saved, 2, nullptr);
        Each(A, Mine, [&](PLazyNode N) {
            Saved.SetPosition(16);
            A->AddNodeFromStream(Saved, 2, N);
        });
        Saved.SetPosition(0);
        B->LoadFromStream(Saved);
        break;
    }
    case TAct::WriteStream: {
        fw::TMemoryStream S;
        A->SaveToStream(S);
        Each(A, Mine, [&](PLazyNode N) { A->SaveToStream(S, N); });
        B->SaveToStream(S);
        break;
    }
    case TAct::FreeOther:
        FreeOther();
        break;
    case TAct::Throw:
        throw std::runtime_error("probe");
    }
}

// Runs Op with the action at the Nth call; answers whether the action ran.
bool InjectionProbe::RunOnce(const TOperation& Op, int N, int& Calls) {
    Build();
    Added.clear();
    OtherTold = OtherToldAtFree = 0;
    Calls = 0;
    bool Acted = false;
    const fw::THandlerProbe Probe = [&] {
        if (++Calls != N || Acted) return;
        Acted = true;
        Act();
    };
    try {
        fw::TProbeScope Scope(Probe);
        Op.Run(*this);
        fw::ProcessMessages();
    } catch (const std::exception& E) {
        // Whatever the action sets off may throw (a handler's own exception,
        // a refused move); an operation that throws by itself is the probe's fault.
        if (!Acted) ADD_FAILURE() << Op.Name << " threw by itself: " << E.what();
    }
    fw::ProcessMessages();
    EXPECT_EQ(OtherTold, OtherToldAtFree) << Op.Name << " N=" << N << ": told after the free";
    EXPECT_TRUE(TreeAgrees(*A)) << Op.Name << " N=" << N << " A";
    if (Other()) {
        EXPECT_TRUE(TreeAgrees(*B)) << Op.Name << " N=" << N << " B";
    }
    for (const auto& [T, Node] : Added)
        if (T != A || !Op.DropsTopNodes) {
            EXPECT_TRUE(Alive(T, Node)) << Op.Name << " N=" << N << ": a node added after a deletion went";
        }
    ExpectRoundTrip(A);
    if (Other()) ExpectRoundTrip(B);
    Form.reset();
    A = B = nullptr;
    return Acted;
}

// Every public operation that runs handlers or paints, with the node it works on.
const std::vector<InjectionProbe::TOperation>& InjectionProbe::Operations() {
    using P = InjectionProbe;
    static const std::vector<TOperation> List = {
        {"SetRootNodeCount", [](P& p) { p.A->SetRootNodeCount(6); p.A->SetRootNodeCount(1); }, true},
        {"SetChildCount", [](P& p) {
             p.A->SetChildCount(p.Given, 4);
             if (p.Live(p.Given)) p.A->SetChildCount(p.Given, 1);
         }},
        {"AddChild", [](P& p) { p.A->AddChild(p.Given); }},
        {"DeleteNode", [](P& p) { p.A->DeleteNode(p.Given); }},
        {"DeleteChildren", [](P& p) { p.A->DeleteChildren(p.Given); }},
        {"DeleteSelectedNodes", [](P& p) { p.A->SelectAll(false); p.A->DeleteSelectedNodes(); }, true},
        {"Clear", [](P& p) { p.A->Clear(); }, true},
        {"ResetNode", [](P& p) { p.A->ResetNode(p.Given); }},
        {"ReinitNode", [](P& p) { p.A->ReinitNode(p.Given, true); }},
        {"ValidateNode", [](P& p) { p.A->ValidateNode(nullptr, true); }},
        {"Expand", [](P& p) { p.Given = p.Top(1); p.A->SetExpanded(p.Given, true); }},
        {"Collapse", [](P& p) { p.A->SetExpanded(p.Given, false); }},
        {"FullExpand", [](P& p) { p.A->FullExpand(); }},
        {"FullCollapse", [](P& p) { p.A->FullCollapse(); }},
        {"IterateSubtree", [](P& p) {
             p.A->IterateSubtree(nullptr, [](TBaseLazyTree*, PLazyNode, void*, bool&) {}, nullptr);
         }},
        {"Sort", [](P& p) { p.A->Sort(p.Given, 0, sdDescending); }},
        {"SortTree", [](P& p) { p.A->SortTree(0, sdDescending); }},
        {"MoveWithin", [](P& p) { p.A->MoveTo(p.Top(2), p.Given, amAddChildFirst, false); }},
        {"MoveAcross", [](P& p) { p.A->MoveTo(p.Given, p.Target, amInsertAfter, false); }},
        {"CopyAcross", [](P& p) { p.A->CopyTo(p.Given, p.Target, amAddChildLast, false); }},
        {"CopyWithin", [](P& p) { p.A->CopyTo(p.Given, p.Top(2), amAddChildLast, false); }},
        {"SetVisible", [](P& p) {
             p.A->SetVisible(p.Given, false);
             if (p.Live(p.Given)) p.A->SetVisible(p.Given, true);
         }},
        {"SetNodeHeight", [](P& p) { p.A->SetNodeHeight(p.Given, 40); }},
        {"Selection", [](P& p) {
             p.A->SetSelected(p.Given, true);
             p.A->InvertSelection(false);
             p.A->SelectAll(true);
             p.A->ClearSelection();
         }},
        {"Focus", [](P& p) { p.A->SetFocusedNode(p.Given); p.A->SetFocusedColumn(1); }},
        {"SetCheckState", [](P& p) { p.A->SetCheckState(p.A->GetFirstChild(p.Given), csCheckedNormal); }},
        {"ScrollIntoView", [](P& p) { p.A->ScrollIntoView(p.A->GetLast(), true, true); }},
        {"Navigation", [](P& p) {
             for (PLazyNode N = p.A->GetFirst(); N; N = p.A->GetNext(N)) {}
             for (PLazyNode N = p.A->GetLastVisible(); N; N = p.A->GetPreviousVisible(N)) {}
             p.A->GetNodeAt(20, 40);
         }},
        {"Paint", [](P& p) {
             p.A->Invalidate();
             if (p.Other()) p.B->Invalidate();
             p.A->Update();
         }},
        {"SaveToStream", [](P& p) { fw::TMemoryStream S; p.A->SaveToStream(S); }},
        {"LoadFromStream", [](P& p) { p.Saved.SetPosition(0); p.A->LoadFromStream(p.Saved); }, true},
        {"AddNodeFromStream", [](P& p) {
             p.Saved.SetPosition(16);
             p.A->AddNodeFromStream(p.Saved, 2, p.Given);
         }},
        {"CopyAndPaste", [](P& p) {
             p.A->CopyToClipboard();
             if (p.Other()) p.B->PasteFromClipboard();
         }},
        {"CutAndPaste", [](P& p) {
             p.A->SetSelected(p.Given, true);
             p.A->CutToClipboard();
             if (p.Other() && Alive(p.B, p.Target)) p.B->SetFocusedNode(p.Target);
             if (p.Other()) p.B->PasteFromClipboard();
         }},
        {"Edit", [](P& p) {
             p.A->EditNode(p.Given, 0);
             fw::KeyChar('z');
             fw::PressKey(fw::VK_RETURN);
         }},
        {"EditCancelled", [](P& p) { p.A->EditNode(p.Given, 1); p.A->CancelEditNode(); }},
        {"Keys", [](P& p) {
             p.A->SetFocus();
             for (std::uint16_t K : {fw::VK_DOWN, fw::VK_SUBTRACT, fw::VK_ADD, fw::VK_SPACE,
                                     fw::VK_HOME, fw::VK_MULTIPLY, fw::VK_END, fw::VK_LEFT})
                 fw::PressKey(K);
             fw::KeyChar('n');
         }},
        {"Clicks", [](P& p) {
             p.Click(8, 1);  // a button
             p.Click(26, 0); // a check box
             fw::DoubleClickAt(p.Row(p.A, 60, 2));
         }},
        {"DragAcross", [](P& p) { Drag({p.Row(p.A, 60, 0), p.Row(p.A, 80, 0), p.Row(p.B, 60, 0)}); }, true},
        {"Header", [](P& p) {
             ClickOn(p.A, 30, 5);
             // The first column resized, then dragged behind the second.
             Drag({fw::ControlPoint(p.A, 99, 5), fw::ControlPoint(p.A, 120, 5)});
             Drag({fw::ControlPoint(p.A, 30, 5), fw::ControlPoint(p.A, 80, 5),
                   fw::ControlPoint(p.A, 170, 5)});
         }},
        {"DeleteColumn", [](P& p) { p.A->Header()->Columns().Delete(0); }},
        {"Wheel", [](P& p) { fw::MouseWheelAt(p.Row(p.A, 50, 1), -120); }},
        {"ChildWalks", [](P& p) {
             p.A->ReinitChildren(p.Given, true);
             p.A->ValidateChildren(nullptr, true);
             p.A->InvalidateChildren(nullptr, true);
         }},
        {"Update", [](P& p) {
             p.A->BeginUpdate();
             p.A->AddChild(nullptr);
             p.A->SetSelected(p.Top(2), true);
             p.A->EndUpdate();
         }},
        {"TopNode", [](P& p) { p.A->SetTopNode(p.Top(2)); p.A->SetOffsetY(0); }},
        {"SelectionRanges", [](P& p) {
             p.A->AddRangeToSelection(p.Top(0), p.Top(2), false);
             p.A->ToggleSelectionRange(p.Top(0), p.Top(1));
         }},
        {"CheckType", [](P& p) { p.A->SetCheckType(p.Given, ctCheckBox); }},
        {"DefaultNodeHeight", [](P& p) { p.A->SetDefaultNodeHeight(30); }},
        {"NodeDataSize", [](P& p) { p.A->SetNodeDataSize(8); }, true},
        {"HoverAndHint", [](P& p) {
             p.A->SetShowHint(true);
             fw::MouseMoveTo(p.Row(p.A, 60, 1));
             fw::AdvanceClock(3000);
             fw::ProcessMessages();
             fw::MouseMoveTo(p.Row(p.A, 64, 2));
         }},
        {"Popup", [](P& p) { fw::ClickAt(p.Row(p.A, 60, 1), fw::mbRight); }},
        {"DragWithin", [](P& p) { Drag({p.Row(p.A, 60, 2), p.Row(p.A, 80, 2), p.Row(p.A, 60, 0)}); }},
        {"RubberBand", [](P& p) { Drag({p.Row(p.A, 190, 0), p.Row(p.A, 100, 3)}); }},
        {"AutoFitColumns", [](P& p) { p.A->Header()->AutoFitColumns(true); }},
        {"Worker", [](P& p) { p.A->InvalidateCache(); p.A->GetNodeAt(20, 60); }},
        {"EditKeys", [](P& p) {
             p.A->EditNode(p.Given, 0);
             for (std::uint16_t K : {fw::VK_DOWN, fw::VK_UP, fw::VK_ESCAPE})
                 fw::PressKey(K);
         }},
    };
    return List;
}

TEST_P(InjectionProbe, EveryHandlerCallOfEveryOperation) {
    const bool Full = std::getenv("TREE_PROBE_FULL") != nullptr;
    const char* Only = std::getenv("TREE_PROBE_OP");
    const bool Trace = std::getenv("TREE_PROBE_TRACE") != nullptr;
    constexpr int Bound = 3; // the suite's: N up to it, then as many more spread out
    for (const TOperation& Op : Operations()) {
        if (Only && Op.Name != std::string(Only)) continue;
        int Calls = 0, Runs = 0;
        for (int N = 1;; ++Runs) {
            if (Trace) std::fprintf(stderr, "probe %s N=%d\n", Op.Name, N);
            if (!RunOnce(Op, N, Calls)) break; // no call left
            if (::testing::Test::HasFailure()) return;
            if (Full || N < Bound) {
                ++N;
                continue;
            }
            // Past the bound each action starts at another call.
            const int Step = std::max(1, (Calls - Bound) / Bound);
            N += N == Bound ? 1 + int(GetParam()) * 5 % Step : Step;
        }
        if (Trace) std::fprintf(stderr, "probe %s: %d calls, %d runs\n", Op.Name, Calls, Runs);
    }
}

std::vector<TAct> AllActs() {
    std::vector<TAct> R;
    for (int I = 0; I <= int(TAct::Throw); ++I)
        R.push_back(TAct(I));
    return R;
}

INSTANTIATE_TEST_SUITE_P(Actions, InjectionProbe, ::testing::ValuesIn(AllActs()),
                         [](const ::testing::TestParamInfo<TAct>& I) {
                             return std::string(ActNames[int(I.param)]);
                         });

} // namespace
} // namespace vel
