#include "LazyTreeItemQueries.h"

#include "ComCtrls.h"
#include "LazyStringTree.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vel {

namespace {

fw::LRESULT ItemResult(PLazyNode Node) {
    return reinterpret_cast<fw::LRESULT>(Node);
}

// The node a client names, when the tree holds it. The handle is compared,
// never followed, until it is found among the tree's nodes.
PLazyNode HeldNode(const TBaseLazyTree& Tree, const void* Item) {
    if (!Item) return nullptr;
    for (PLazyNode N = Tree.GetFirstNoInit(); N; N = Tree.GetNextNoInit(N))
        if (N == Item) return N;
    return nullptr;
}

PLazyNode NextItem(TBaseLazyTree& Tree, fw::WPARAM Code, PLazyNode Node) {
    switch (Code) {
    case fw::TVGN_ROOT:
        return Tree.GetFirst();
    case fw::TVGN_FIRSTVISIBLE:
        return Tree.GetFirstVisible();
    case fw::TVGN_DROPHILITE:
        return Tree.DropTargetNode();
    case fw::TVGN_CARET:
        return Tree.FocusedNode();
    case fw::TVGN_LASTVISIBLE:
        return Tree.GetLastVisible();
    default:
        break;
    }
    if (!Node) return nullptr; // the other codes start from an item the tree holds
    switch (Code) {
    case fw::TVGN_NEXT:
        return Tree.GetNextSibling(Node);
    case fw::TVGN_PREVIOUS:
        return Tree.GetPreviousSibling(Node);
    case fw::TVGN_PARENT:
        return Node->Parent == Tree.RootNode() ? nullptr : Node->Parent;
    case fw::TVGN_CHILD:
        return Tree.GetFirstChild(Node);
    case fw::TVGN_NEXTVISIBLE:
        return Tree.GetNextVisible(Node);
    case fw::TVGN_PREVIOUSVISIBLE:
        return Tree.GetPreviousVisible(Node);
    default:
        return nullptr;
    }
}

fw::UINT ItemState(const TBaseLazyTree& Tree, PLazyNode Node) {
    fw::UINT State = 0;
    if (Node == Tree.FocusedNode()) State |= fw::TVIS_FOCUSED;
    if (Node->States & vsSelected) State |= fw::TVIS_SELECTED;
    if (Node->States & vsCutOrCopy) State |= fw::TVIS_CUT;
    if (Node == Tree.DropTargetNode()) State |= fw::TVIS_DROPHILITED;
    if (Node->States & vsExpanded) State |= fw::TVIS_EXPANDED;
    return State;
}

// An image index as the four state bits carry it: none for -1 and for one
// too large to fit (masking it would name another image).
fw::UINT ImageNibble(int Index) {
    return Index >= 0 && Index <= 15 ? static_cast<fw::UINT>(Index) : 0;
}

bool GetItemRect(TBaseLazyTree& Tree, fw::WPARAM TextOnly, fw::TRect* R) {
    if (!R) return false;
    void* Item = nullptr;
    std::memcpy(&Item, R, sizeof Item);
    PLazyNode Node = HeldNode(Tree, Item);
    if (!Node) return false;
    *R = Tree.GetDisplayRect(Node, NoColumn, TextOnly != 0);
    return Tree.FullyVisible(Node);
}

bool GetItem(TBaseLazyTree& Tree, fw::TTVItemA* Item) {
    if (!Item) return false;
    PLazyNode Node = HeldNode(Tree, Item->hItem);
    if (!Node) return false;
    Item->cChildren = static_cast<int>(Tree.ChildCount(Node));
    bool Ghosted = false;
    Item->iImage = Tree.GetImageIndex(Node, ikNormal, 0, Ghosted);
    Item->iSelectedImage = Tree.GetImageIndex(Node, ikSelected, 0, Ghosted);
    Item->stateMask = 0xFF2F;
    Item->state = ItemState(Tree, Node) |
                  (ImageNibble(Tree.GetImageIndex(Node, ikOverlay, 0, Ghosted)) << 8) |
                  (ImageNibble(Tree.GetImageIndex(Node, ikState, 0, Ghosted)) << 12);
    if (Item->pszText && Item->cchTextMax > 0) {
        std::u16string Text;
        if (auto* Strings = dynamic_cast<TCustomLazyStringTree*>(&Tree))
            Text = Strings->GetText(Node, NoColumn);
        const std::size_t N =
            std::min(Text.size(), static_cast<std::size_t>(Item->cchTextMax - 1));
        // The system code page is Latin-1: other characters become '?'.
        for (std::size_t I = 0; I < N; ++I)
            Item->pszText[I] = Text[I] <= 0xFF ? static_cast<char>(Text[I]) : '?';
        Item->pszText[N] = '\0';
    }
    return true;
}

} // namespace

bool AnswerItemQuery(TBaseLazyTree& Tree, fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::TVM_GETNEXTITEM: {
        PLazyNode Node = HeldNode(Tree, reinterpret_cast<const void*>(Message.LParam));
        Message.Result = ItemResult(NextItem(Tree, Message.WParam, Node));
        return true;
    }
    case fw::TVM_GETITEMRECT:
        Message.Result =
            GetItemRect(Tree, Message.WParam, reinterpret_cast<fw::TRect*>(Message.LParam));
        return true;
    case fw::TVM_GETITEMA:
        Message.Result = GetItem(Tree, reinterpret_cast<fw::TTVItemA*>(Message.LParam));
        return true;
    default:
        return false;
    }
}

} // namespace vel
