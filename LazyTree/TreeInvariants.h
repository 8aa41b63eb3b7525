// The tree's invariants recounted the slow way, for the tests that let
// handlers loose on it: the links both ways, every count and height against
// a walk, the selection against the flags, and every node the tree keeps a
// reference to alive and in the tree.
#pragma once

#include "LazyTrees.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vel {

inline ::testing::AssertionResult TreeAgrees(TBaseLazyTree& T) {
    std::ostringstream Why;
    int Faults = 0;
    auto Fault = [&](const char* What, std::uint64_t Has, std::uint64_t Counted) {
        if (++Faults <= 6) Why << What << " " << Has << " (counted " << Counted << "); ";
    };
    const PLazyNode Root = T.RootNode();
    // Bounded by what the tree says it holds: a cycle ends the walk, not the test.
    const std::uint64_t Bound = std::uint64_t{Root->ChildCount} + T.TotalCount() + 64;
    std::unordered_set<PLazyNode> Seen{Root};
    std::unordered_map<PLazyNode, std::uint64_t> Counted;
    // Post-order by a second visit: counts and heights of children first.
    struct TFrame {
        PLazyNode Node;
        bool Shown;
        bool Done;
    };
    std::vector<TFrame> Stack{{Root, true, false}};
    std::uint32_t Visible = 0;
    int Selected = 0;
    while (!Stack.empty()) {
        TFrame F = Stack.back();
        Stack.pop_back();
        PLazyNode N = F.Node;
        if (F.Done) {
            std::uint64_t Count = 1, Height = N->NodeHeight;
            for (PLazyNode C = N->FirstChild; C; C = C->NextSibling) {
                Count += Counted[C];
                if ((N->States & vsExpanded) && (C->States & vsVisible)) Height += C->TotalHeight;
            }
            Counted[N] = Count;
            // Read as callers read it: exact, whatever marks the tree keeps.
            if (N->TotalCount() != Count) Fault("node count", N->TotalCount(), Count);
            if (N->TotalHeight != Height) {
                Fault("node height", N->TotalHeight, Height);
                if (Faults <= 6)
                    Why << "[states " << std::hex << N->States << std::dec << " level "
                        << T.GetNodeLevel(N) << " children " << N->ChildCount << "] ";
            }
            continue;
        }
        if (Seen.size() > Bound) {
            Fault("more nodes than counted", Seen.size(), Bound);
            break;
        }
        if (N != Root) {
            if (N->States & vsSelected) ++Selected;
            if (F.Shown) ++Visible;
            if (N->States & (vsDeleting | vsClearing)) Fault("node left deleting", N->States, 0);
        }
        Stack.push_back({N, F.Shown, true});
        std::uint32_t Index = 0;
        PLazyNode Prev = nullptr;
        for (PLazyNode C = N->FirstChild; C; C = C->NextSibling) {
            if (!Seen.insert(C).second) {
                Fault("node linked twice", Index, 0);
                return ::testing::AssertionFailure() << Why.str();
            }
            if (C->Parent != N) Fault("parent link", Index, 0);
            if (C->PrevSibling != Prev) Fault("back link", Index, 0);
            if (C->Index != Index) Fault("index", C->Index, Index);
            Prev = C;
            ++Index;
            Stack.push_back({C, F.Shown && (N == Root || (N->States & vsExpanded)) &&
                                    (C->States & vsVisible), false});
        }
        if (N->LastChild != Prev) Fault("last child", 0, Index);
        if (N->ChildCount != Index) Fault("child count", N->ChildCount, Index);
    }
    if (T.TotalCount() != Seen.size() - 1) Fault("tree count", T.TotalCount(), Seen.size() - 1);
    if (T.VisibleCount() != Visible) Fault("visible count", T.VisibleCount(), Visible);
    std::uint64_t Rows = Root->TotalHeight - Root->NodeHeight;
    if (T.RangeY() != Rows) Fault("range", T.RangeY(), Rows);
    if (T.SelectedCount() != Selected) Fault("selected count", T.SelectedCount(), Selected);
    for (PLazyNode S = T.GetFirstSelected(); S; S = T.GetNextSelected(S))
        if (!Seen.count(S) || !(S->States & vsSelected)) Fault("selection entry", 0, 0);
    struct TKept {
        const char* Name;
        PLazyNode Node;
    };
    for (TKept K : {TKept{"focused node", T.FocusedNode()}, TKept{"range anchor", T.RangeAnchor()},
                    TKept{"hot node", T.HotNode()}, TKept{"drop target", T.DropTargetNode()}})
        if (K.Node && (K.Node == Root || !Seen.count(K.Node))) Fault(K.Name, 0, 0);
    // The tree edits its focused node, or nothing.
    if (T.IsEditing() && !T.FocusedNode()) Fault("edit of no focused node", 0, 0);
    if (Faults == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Why.str();
}

// Answers every call of Event by handing the nodes among its arguments to
// React first, then Base (when given) or a default answer.
template <class R, class... A, class F>
void HookEvent(std::function<R(A...)>& Event, F React, std::function<R(A...)> Base = {}) {
    Event = [React = std::move(React), Base = std::move(Base)](A... Args) -> R {
        std::vector<PLazyNode> Nodes;
        auto Collect = [&Nodes](const auto& V) {
            using V1 = std::decay_t<decltype(V)>;
            if constexpr (std::is_convertible_v<V1, PLazyNode> && !std::is_null_pointer_v<V1>) {
                if (V) Nodes.push_back(V);
            }
        };
        (Collect(Args), ...);
        React(Nodes);
        if (Base) return Base(std::forward<A>(Args)...);
        if constexpr (!std::is_void_v<R>) return R{};
    };
}

// Drags allowed, every place accepted and drops carried out, each answer
// handed to Hook(Event, Name, Answer) to wrap.
template <class H> void HookDragAndDrop(TBaseLazyTree* T, H Hook) {
    Hook(T->OnDragAllowed, "OnDragAllowed",
         decltype(T->OnDragAllowed)(
             [](TBaseLazyTree*, PLazyNode, int, bool& Allowed) { Allowed = true; }));
    Hook(T->OnDragOver, "OnDragOver",
         decltype(T->OnDragOver)([](TBaseLazyTree*, TBaseLazyTree*, fw::TShiftState, TDragState,
                                    fw::TPoint, TDropMode, std::uint32_t&,
                                    bool& Accept) { Accept = true; }));
    Hook(T->OnDragDrop, "OnDragDrop",
         decltype(T->OnDragDrop)([](TBaseLazyTree* Sender, TBaseLazyTree* Source,
                                    TLTDataObject* Data, const TFormatArray&, fw::TShiftState,
                                    fw::TPoint, std::uint32_t&, TDropMode Mode) {
             PLazyNode Target = Mode == dmNowhere ? nullptr : Sender->DropTargetNode();
             Sender->ProcessOLEData(Source, Data, Target, amAddChildLast, false);
         }));
}

} // namespace vel
