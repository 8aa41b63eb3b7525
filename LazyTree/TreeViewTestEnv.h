// Test fixture of the tree's view tests: a string tree on a form, its nodes
// named by their place ("0", "0.1", ...), texts and check types kept by the test.
#pragma once

#include "FormTestEnv.h"
#include "LazyStringTree.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "Input.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vel {

// The Index-th top-level node, or null.
inline PLazyNode TopNode(TBaseLazyTree& Tree, int Index) {
    PLazyNode N = Tree.GetFirst();
    while (N && Index-- > 0)
        N = Tree.GetNextSibling(N);
    return N;
}

// A click of its own (not the second of a double click) at a client point.
inline void ClickOn(fw::TControl* Control, int X, int Y, fw::TShiftState Shift = 0,
                    fw::TMouseButton Button = fw::mbLeft) {
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::ClickAt(fw::ControlPoint(Control, X, Y), Button, Shift);
    fw::ProcessMessages();
}

// The selected nodes in tree order.
inline std::vector<PLazyNode> SelectedNodes(TBaseLazyTree& Tree) {
    std::vector<PLazyNode> R;
    for (PLazyNode N = Tree.GetFirstSelected(); N; N = Tree.GetNextSelected(N))
        R.push_back(N);
    return R;
}

class TreeViewTest : public fw::FormTest {
protected:
    // Three top-level nodes; the first two have two children each.
    void SetUp() override {
        FormTest::SetUp();
        Tree = Place<TLazyStringTree>(0, 0, 240, 160);
        Tree->SetColor(fw::clWhite);
        Tree->SetBorderStyle(fw::bsNone);
        Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode Parent, PLazyNode Node,
                              TLTInternalStates& States) {
            if (!Parent && Node->Index < 2) States |= ivsHasChildren;
        };
        Tree->OnInitChildren = [](TBaseLazyTree*, PLazyNode, std::uint32_t& Count) { Count = 2; };
        Tree->OnGetText = [this](TBaseLazyTree*, PLazyNode Node, int Column, TLSTTextType Type,
                                 std::u16string& Text) {
            if (Type != ttNormal) return;
            auto It = Texts.find({Node, Column});
            Text = It != Texts.end() ? It->second : Name(Node);
        };
        Tree->OnNewText = [this](TBaseLazyTree*, PLazyNode Node, int Column,
                                 const std::u16string& T) { Texts[{Node, Column}] = T; };
        Tree->SetRootNodeCount(3);
        Show();
        Tree->SetFocus();
    }
    // "1" for the second top-level node, "0.1" for the second child of the first
    // (a deleted node, out of the tree, is named from where it was taken out).
    std::u16string Name(PLazyNode Node) const {
        std::u16string R = std::u16string(1, static_cast<char16_t>(u'0' + Node->Index));
        if (Node->Parent && Node->Parent != Tree->RootNode()) R = Name(Node->Parent) + u"." + R;
        return R;
    }
    PLazyNode Top(int I) { return TopNode(*Tree, I); }
    void Key(std::uint16_t K, fw::TShiftState Shift = 0) { fw::PressKey(K, Shift); }
    void Click(int X, int Y, fw::TShiftState Shift = 0, fw::TMouseButton B = fw::mbLeft) {
        ClickOn(Tree, X, Y, Shift, B);
    }
    // The tree painted on its own into a picture of its size.
    fw::TBitmap& Picture() {
        fw::ProcessMessages();
        Shot.SetSize(Tree->Width(), Tree->Height());
        fw::PaintControlTo(Tree, Shot.Surface());
        return Shot;
    }
    fw::TColor At(int X, int Y) { return Shot.Canvas().Pixels(X, Y); }
    static fw::TColor Rgb(fw::TColor C) { return fw::ColorToRGB(C); }
    std::vector<PLazyNode> Selection() { return SelectedNodes(*Tree); }

    TLazyStringTree* Tree = nullptr;
    std::map<std::pair<PLazyNode, int>, std::u16string> Texts;
    fw::TBitmap Shot;
};

} // namespace vel
