#include "SkelTreeForm.h"

#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "RigShape.h"
#include "ScopeExit.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Switchboard.h"
#include "TsxHelper.h"

namespace vel {

TSkelTreeForm* SkelTreeForm = nullptr;

namespace {


// A bone row's bone: at its place in the current skeleton while it is still
// there, else looked for among all skeletons by its bone object.
TBone* FindBone(const TRowRef* Ref) {
    if (!Ref || Ref->Kind != rkBone || !LiveObject(Ref->Host())) return nullptr;
    if (TSkeleton* current = CurrentSkeleton)
        if (TBone* bone = current->Bones.ByIndex(Ref->Index); bone && bone->Node == Ref->Object)
            return bone;
    TSkeleton* skeleton = nullptr;
    std::int32_t index = -1;
    return FindSkeletonByBoneNode(Ref->Object, skeleton, index) ? skeleton->Bones.ByIndex(index)
                                                                 : nullptr;
}

std::string JointName(const TJoint* joint) {
    return joint && tsxIsSobj(joint->Node) ? GetNodeName(joint->Node) : std::string("?");
}

} // namespace

// Bound objects before the bones that hang below the same bone; within each
// kind by name, numbered names in number order ("Bone,2" before "Bone,10").
struct TSkelTreeForm::TSortKey {
    bool Bone = false;
    std::string Base;
    std::int32_t Number = 0;
    std::string Name;
    auto operator<=>(const TSortKey&) const = default;
};

TSkelTreeForm::TSortKey TSkelTreeForm::SortKeyOf(PLazyNode Node) {
    TSortKey key;
    const TRowRef* ref = RefOf(Node);
    key.Bone = ref && ref->Kind == rkBone;
    key.Name = RowText(Node);
    SplitNameAndNumber(key.Name, key.Base, key.Number);
    return key;
}

TSkelTreeForm::TSkelTreeForm(fw::TComponent* AOwner)
    : TTreeForm(AOwner, "SkelTreeForm", "Skeleton", "SkelTree") {
    auto* options = static_cast<TCustomStringTreeOptions*>(Tree()->TreeOptions());
    options->SetStringOptions(options->StringOptions() | toShowStaticText);
    Tree()->OnCompareNodes = [this](TBaseLazyTree*, PLazyNode A, PLazyNode B, int,
                                    int& Result) { Result = CompareRows(A, B); };
    RebuildTree();
}

TSkelTreeForm::~TSkelTreeForm() {
    Tree()->OnCompareNodes = nullptr;
    if (SkelTreeForm == this) SkelTreeForm = nullptr;
}

TBone* TSkelTreeForm::BoneOfKey(TNodeKey Key) const {
    return FindBone(Keys().Find(Key));
}

void TSkelTreeForm::RebuildTree() {
    if (TreeUpdating()) {
        FRebuildPending = true;
        Ask(CM_REFRESHTREE);
        return;
    }
    FillFromSkeleton();
}

void TSkelTreeForm::RefreshRows() {
    // RefreshAll rebuilds only for a current skeleton; a rebuild or a removal
    // left for this refresh still empties the rows without one.
    const bool stale = TakeRowsStale();
    if ((std::exchange(FRebuildPending, false) || stale) && !CurrentSkeleton) FillFromSkeleton();
    RefreshAll();
}

void TSkelTreeForm::FillFromSkeleton() {
    auto update = fw::EnterScope([this] { Tree()->BeginUpdate(); },
                                 [this] { Tree()->EndUpdate(); });
    ClearRows();
    TSkeleton* skeleton = ShownSkeleton();
    // Taken as the rows are begun, kept once they are all in: a fill cut
    // short by a handler's exception is made again at the next idle.
    const std::uint64_t shape = SkeletonShape(skeleton);
    FShape = ~shape;
    if (skeleton) {
        // A bone hangs under the first bone listed whose tail is its head;
        // bones in a ring with no way in are listed from the top.
        std::unordered_map<const TJoint*, std::vector<TBone*>> byHead;
        std::unordered_set<const TJoint*> tails;
        std::unordered_map<const TBone*, std::int32_t> indexOf;
        for (std::int32_t i = 0; i < skeleton->Bones.Count(); ++i) {
            TBone* bone = skeleton->Bones.Items(i);
            byHead[bone->Head].push_back(bone);
            if (bone->Tail) tails.insert(bone->Tail);
            indexOf[bone] = i;
        }
        std::unordered_set<const TBone*> listed;
        auto listFrom = [&](TBone* top) {
            std::vector<std::pair<TBone*, PLazyNode>> pending{{top, nullptr}};
            while (!pending.empty()) {
                auto [bone, parent] = pending.back();
                pending.pop_back();
                if (!listed.insert(bone).second) continue;
                PLazyNode row = AddRow(parent, {rkBone, bone->Node, indexOf[bone]});
                for (const auto& child : bone->ChildList)
                    if (child) AddRow(row, {rkObject, child->Object});
                if (!bone->Tail) continue;
                const auto below = byHead.find(bone->Tail);
                if (below == byHead.end()) continue;
                for (auto it = below->second.rbegin(); it != below->second.rend(); ++it)
                    pending.emplace_back(*it, row);
            }
        };
        for (const auto& bone : skeleton->Bones.List)
            if (!bone->Head || !tails.contains(bone->Head)) listFrom(bone.get());
        for (const auto& bone : skeleton->Bones.List)
            listFrom(bone.get());
        Tree()->FullExpand();
    }
    update.Leave();
    FShape = shape;
    if (Tree()->TotalCount() > 1) Ask(CM_SORTTREE);
}

void TSkelTreeForm::RefreshAll() {
    if (TreeUpdating()) return;
    ShowAgain(CurrentSkeleton != nullptr);
}

void TSkelTreeForm::Follow() {
    if (SkeletonShape(ShownSkeleton()) != FShape) ShowAgain(true);
}

void TSkelTreeForm::ShowAgain(bool Rebuild) {
    // The row to show again: the skeleton's selected bone, else the row
    // that had the focus.
    CtsxSobj object = ObjectOf(Tree()->FocusedNode());
    CtsxSobj parent = ObjectOf(object ? Tree()->FocusedNode()->Parent : nullptr);
    if (Rebuild) {
        FillFromSkeleton();
        if (const TSkeleton* skeleton = ShownSkeleton())
            if (const TBone* bone = skeleton->Bones.ByIndex(skeleton->SelectedBone)) {
                object = bone->Node;
                parent = nullptr;
            }
    }
    ShowRow(FindRow(object, parent));
}

PLazyNode TSkelTreeForm::FindRow(CtsxSobj Object, CtsxSobj Parent) const {
    // Rows of an object that went, whose handle Object may be now, are not it.
    std::vector<PLazyNode> rows = Keys().NodesOf(Object);
    std::erase_if(rows, [this](PLazyNode row) { return !ObjectOf(row); });
    for (PLazyNode row : rows)
        if (ObjectOf(row->Parent) == Parent) return row;
    return rows.empty() ? nullptr : rows.front();
}

void TSkelTreeForm::RemoveObjectNode(CtsxSobj object) {
    const TRowRef* ref = RefOf(NodeOfObject(object));
    const bool bone = ref && ref->Kind == rkBone;
    TTreeForm::RemoveObjectNode(object);
    if (bone) Ask(CM_REFRESHTREE);
}

void TSkelTreeForm::GetRowText(const TRowRef& Ref, TLSTTextType TextType, std::string& Text) {
    if (TextType == ttNormal) {
        TTreeForm::GetRowText(Ref, TextType, Text);
        return;
    }
    // A bone's joints follow its name: "Bone,3  Hip - Knee.L".
    if (const TBone* bone = FindBone(&Ref))
        Text = JointName(bone->Head) + " - " + JointName(bone->Tail);
}

int TSkelTreeForm::CompareRows(PLazyNode A, PLazyNode B) {
    auto keyOf = [this](PLazyNode Node) {
        if (FSortKeys)
            if (const auto it = FSortKeys->find(Node); it != FSortKeys->end()) return it->second;
        return SortKeyOf(Node);
    };
    const auto order = keyOf(A) <=> keyOf(B);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void TSkelTreeForm::SortRows() {
    // Each row's name is asked of the host once, not at every comparison.
    std::unordered_map<PLazyNode, TSortKey> keys;
    for (PLazyNode node = Tree()->GetFirst(); node; node = Tree()->GetNext(node))
        keys.emplace(node, SortKeyOf(node));
    FSortKeys = &keys;
    fw::TScopeExit forget([this] { FSortKeys = nullptr; });
    Tree()->SortTree(NoColumn, sdAscending);
    if (PLazyNode focused = Tree()->FocusedNode()) Tree()->ScrollIntoView(focused, false);
}

} // namespace vel
