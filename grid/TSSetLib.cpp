#include "TSSetLib.h"

#include "ScopeExit.h"

#include <algorithm>

namespace vel {

// --- Nodes ---------------------------------------------------------------------------

void TtsSetNode::Assign(const TtsSetNode& source) {
    Left = nullptr;
    Right = nullptr;
    Balance = source.Balance;
}

int TtsSetNode::Compare(const TtsCustomSet&, const void*) const {
    return 1;
}

int TtsSetNode::CompareSearch(const TtsCustomSet& set, const void* key) const {
    return Compare(set, key);
}

// --- Path stack and list ---------------------------------------------------------------

void TtsNodeStack::Push(TtsSetNode* node, std::int8_t direction) {
    if (FCount == Capacity()) FItems.resize(FItems.size() + 10);
    FItems[FCount++] = TItem{node, direction};
}

TtsNodeStack::TItem TtsNodeStack::Pop() {
    if (FCount == 0) return {};
    return FItems[--FCount];
}

TtsNodeStack::TItem TtsNodeStack::GetItem(int index) const {
    if (index < 1 || index > FCount) return {};
    return FItems[index - 1];
}

void TtsNodeStack::SetItem(int index, TtsSetNode* node, std::int8_t direction) {
    if (index < 1 || index > FCount) return;
    FItems[index - 1] = TItem{node, direction};
}

void TtsSetList::Put(int index, const void* value) {
    if (index >= 1 && index <= Count()) FItems[index - 1] = value;
}

const void* TtsSetList::Get(int index) const {
    return index >= 1 && index <= Count() ? FItems[index - 1] : nullptr;
}

// --- Balanced tree -----------------------------------------------------------------------

namespace {

TtsSetNode*& Child(TtsSetNode* n, int d) {
    return d < 0 ? n->Left : n->Right;
}

// Rotates the subtree of `a` towards -d (its child on side d is too high);
// returns the new subtree root.
TtsSetNode* RotateSingle(TtsSetNode* a, int d) {
    TtsSetNode* b = Child(a, d);
    Child(a, d) = Child(b, -d);
    Child(b, -d) = a;
    if (b->Balance != 0) {
        a->Balance = 0;
        b->Balance = 0;
    } else {
        a->Balance = static_cast<std::int8_t>(d);
        b->Balance = static_cast<std::int8_t>(-d);
    }
    return b;
}

TtsSetNode* RotateDouble(TtsSetNode* a, int d) {
    TtsSetNode* b = Child(a, d);
    TtsSetNode* c = Child(b, -d);
    Child(b, -d) = Child(c, d);
    Child(a, d) = Child(c, -d);
    Child(c, d) = b;
    Child(c, -d) = a;
    if (c->Balance == d) {
        a->Balance = static_cast<std::int8_t>(-d);
        b->Balance = 0;
    } else if (c->Balance == 0) {
        a->Balance = 0;
        b->Balance = 0;
    } else {
        a->Balance = 0;
        b->Balance = static_cast<std::int8_t>(d);
    }
    c->Balance = 0;
    return c;
}

int HeightOf(const TtsSetNode* n) {
    if (!n) return 0;
    return 1 + std::max(HeightOf(n->Left), HeightOf(n->Right));
}

void Walk(const TtsSetNode* n, std::vector<const TtsSetNode*>& out) {
    if (!n) return;
    Walk(n->Left, out);
    out.push_back(n);
    Walk(n->Right, out);
}

} // namespace

TtsCustomSet::~TtsCustomSet() {
    FreeTree(FRoot);
}

void TtsCustomSet::FreeTree(TtsSetNode* node) {
    if (!node) return;
    FreeTree(node->Left);
    FreeTree(node->Right);
    delete node;
}

void TtsCustomSet::Clear() {
    FreeTree(FRoot);
    FRoot = nullptr;
    FCount = 0;
    FStack.Clear();
}

std::unique_ptr<TtsSetNode> TtsCustomSet::CreateNode(const void*) {
    return std::make_unique<TtsSetNode>();
}

TtsSetNode* TtsCustomSet::NewNode(const void* key) {
    TtsSetNode* n = CreateNode(key).release();
    n->Balance = 0;
    ++FCount;
    return n;
}

void TtsCustomSet::Link(TtsSetNode* parent, int direction, TtsSetNode* child) {
    if (!parent)
        FRoot = child;
    else
        Child(parent, direction) = child;
}

TtsSetNode* TtsCustomSet::Insert(const void* key) {
    if (!FRoot) {
        FRoot = NewNode(key);
        return FRoot;
    }
    TtsSetNode* critical = FRoot;
    TtsSetNode* criticalParent = nullptr;
    TtsSetNode* node = FRoot;
    TtsSetNode* added = nullptr;
    for (;;) {
        const int c = node->Compare(*this, key);
        if (c == 1) return node;
        const int d = c == 0 ? -1 : 1;
        TtsSetNode*& next = Child(node, d);
        if (!next) {
            added = NewNode(key);
            next = added;
            break;
        }
        if (next->Balance != 0) {
            critical = next;
            criticalParent = node;
        }
        node = next;
    }
    const int dir = critical->Compare(*this, key) == 0 ? -1 : 1;
    for (TtsSetNode* n = Child(critical, dir); n != added;) {
        const int d = n->Compare(*this, key) == 0 ? -1 : 1;
        n->Balance = static_cast<std::int8_t>(d);
        n = Child(n, d);
    }
    if (critical->Balance == 0) {
        critical->Balance = static_cast<std::int8_t>(dir);
    } else if (critical->Balance == -dir) {
        critical->Balance = 0;
    } else {
        TtsSetNode* child = Child(critical, dir);
        TtsSetNode* top =
            child->Balance == dir ? RotateSingle(critical, dir) : RotateDouble(critical, dir);
        if (!criticalParent)
            FRoot = top;
        else
            Child(criticalParent, criticalParent->Left == critical ? -1 : 1) = top;
    }
    return added;
}

TtsSetNode* TtsCustomSet::Search(TtsSetNode* node, const void* key) const {
    while (node) {
        const int c = node->CompareSearch(*this, key);
        if (c == 1) return node;
        node = c == 0 ? node->Left : node->Right;
    }
    return nullptr;
}

std::unique_ptr<TtsSetNode> TtsCustomSet::Delete(const void* key) {
    FStack.Clear();
    TtsSetNode* node = FRoot;
    while (node) {
        const int c = node->CompareSearch(*this, key);
        if (c == 1) break;
        const int d = c == 0 ? -1 : 1;
        FStack.Push(node, static_cast<std::int8_t>(d));
        node = Child(node, d);
    }
    if (!node) return nullptr;
    TtsSetNode* parent = FStack.GetItem(FStack.Count()).Node;
    const int parentDir = FStack.GetItem(FStack.Count()).Direction;
    if (node->Left && node->Right) {
        FStack.Push(node, 1);
        const int remembered = FStack.Count();
        TtsSetNode* succ = node->Right;
        while (succ->Left) {
            FStack.Push(succ, -1);
            succ = succ->Left;
        }
        // Unlink the successor from its parent (the stack top).
        auto top = FStack.GetItem(FStack.Count());
        Child(top.Node, top.Direction) = succ->Right;
        // The successor takes the found node's place.
        Link(parent, parentDir, succ);
        succ->Left = node->Left;
        succ->Right = node->Right;
        succ->Balance = node->Balance;
        FStack.SetItem(remembered, succ, 1);
    } else {
        Link(parent, parentDir, node->Left ? node->Left : node->Right);
    }
    --FCount;
    // Rebalance upward.
    bool finished = false;
    while (!finished && FStack.Count() > 0) {
        const auto item = FStack.GetItem(FStack.Count());
        TtsSetNode* n = item.Node;
        const int d = item.Direction;
        if (n->Balance == 0) {
            n->Balance = static_cast<std::int8_t>(-d);
            finished = true;
        } else if (n->Balance == d) {
            n->Balance = 0;
        } else {
            TtsSetNode* b = Child(n, -d);
            TtsSetNode* sub;
            if (b->Balance != -d && b->Balance != 0) {
                sub = RotateDouble(n, -d);
            } else {
                if (b->Balance == 0) finished = true;
                sub = RotateSingle(n, -d);
            }
            const auto below = FStack.GetItem(FStack.Count() - 1);
            Link(below.Node, below.Direction, sub);
        }
        FStack.Pop();
    }
    node->Left = nullptr;
    node->Right = nullptr;
    return std::unique_ptr<TtsSetNode>(node);
}

TtsSetNode* TtsCustomSet::CopyTree(const TtsSetNode* source) {
    if (!source) return nullptr;
    TtsSetNode* n = NewNode(source->Value());
    n->Assign(*source);
    n->Left = CopyTree(source->Left);
    n->Right = CopyTree(source->Right);
    return n;
}

void TtsCustomSet::Assign(const TtsCustomSet& source) {
    if (&source == this) return;
    Clear();
    ++FAssignLevel;
    fw::TScopeExit guard([this] { --FAssignLevel; });
    FRoot = CopyTree(source.FRoot);
}

std::unique_ptr<TtsSetList> TtsCustomSet::ToList() const {
    std::vector<const TtsSetNode*> nodes;
    Walk(FRoot, nodes);
    auto list = std::make_unique<TtsSetList>(static_cast<int>(nodes.size()));
    for (std::size_t i = 0; i < nodes.size(); ++i)
        list->Put(static_cast<int>(i) + 1, nodes[i]->Value());
    return list;
}

int TtsCustomSet::Height() const {
    return HeightOf(FRoot);
}

// --- Integer set ----------------------------------------------------------------------------

void TtsIntegerSetNode::Assign(const TtsSetNode& source) {
    TtsSetNode::Assign(source);
    if (auto* s = dynamic_cast<const TtsIntegerSetNode*>(&source)) IntValue = s->IntValue;
}

int TtsIntegerSetNode::Compare(const TtsCustomSet&, const void* key) const {
    const std::int32_t k = *static_cast<const std::int32_t*>(key);
    if (IntValue == k) return 1;
    return IntValue > k ? 0 : 2;
}

std::unique_ptr<TtsSetNode> TtsIntegerSet::CreateNode(const void* key) {
    return std::make_unique<TtsIntegerSetNode>(key ? *static_cast<const std::int32_t*>(key) : 0);
}

const std::int32_t* TtsIntegerSet::Add(std::int32_t v) {
    return static_cast<const std::int32_t*>(Insert(&v)->Value());
}

const std::int32_t* TtsIntegerSet::Find(std::int32_t v) const {
    TtsSetNode* n = Search(Root(), &v);
    return n ? static_cast<const std::int32_t*>(n->Value()) : nullptr;
}

void TtsIntegerSet::Remove(std::int32_t v) {
    Delete(&v);
}

std::vector<std::int32_t> TtsIntegerSet::Values() const {
    std::vector<const TtsSetNode*> nodes;
    Walk(Root(), nodes);
    std::vector<std::int32_t> out;
    out.reserve(nodes.size());
    for (auto* n : nodes)
        out.push_back(static_cast<const TtsIntegerSetNode*>(n)->IntValue);
    return out;
}

// --- Object set -------------------------------------------------------------------------------

int TtsSetElement::CompareKey(const TtsCustomSet&, const TtsSetElement&) const {
    return 1;
}

int TtsSetElement::CompareSearch(const TtsCustomSet&, const void*, int) const {
    return 1;
}

int TtsObjectSetNode::Compare(const TtsCustomSet& set, const void* key) const {
    return Element->CompareKey(set, *static_cast<const TtsSetElement*>(key));
}

int TtsObjectSetNode::CompareSearch(const TtsCustomSet& set, const void* key) const {
    return Element->CompareSearch(set, key, 0x7FFFFFF);
}

std::unique_ptr<TtsSetNode> TtsObjectSet::CreateNode(const void*) {
    return std::make_unique<TtsObjectSetNode>();
}

TtsSetNode* TtsObjectSet::CopyTree(const TtsSetNode*) {
    return nullptr;
}

TtsSetElement* TtsObjectSet::Add(std::unique_ptr<TtsSetElement> element) {
    TtsSetElement* raw = element.get();
    auto* node = static_cast<TtsObjectSetNode*>(Insert(raw));
    // A new node has no element yet; an equal-keyed one gives its old element up.
    if (node->Element.get() == raw)
        (void)element.release(); // the same element again: it is owned already
    else
        node->Element = std::move(element);
    return raw;
}

TtsSetElement* TtsObjectSet::Find(const void* key) const {
    auto* n = static_cast<TtsObjectSetNode*>(Search(Root(), key));
    return n ? n->Element.get() : nullptr;
}

void TtsObjectSet::Remove(const void* key) {
    Delete(key);
}

std::unique_ptr<TtsSetElement> TtsObjectSet::Extract(const void* key) {
    auto node = Delete(key);
    if (!node) return nullptr;
    return std::move(static_cast<TtsObjectSetNode*>(node.get())->Element);
}

std::vector<TtsSetElement*> TtsObjectSet::Elements() const {
    std::vector<const TtsSetNode*> nodes;
    Walk(Root(), nodes);
    std::vector<TtsSetElement*> out;
    out.reserve(nodes.size());
    for (auto* n : nodes)
        out.push_back(static_cast<const TtsObjectSetNode*>(n)->Element.get());
    return out;
}

// --- Sorted integer list
// --------------------------------------------------------------------------

void TtsSortIntList::SetCapacity(int n) {
    if (n < 0) n = 0;
    FItems.resize(static_cast<std::size_t>(n) + 1, 0);
    if (FCount > n) FCount = n;
}

void TtsSortIntList::Grow(int newCount) {
    if (newCount > Capacity())
        SetCapacity(newCount + 100);
    else if (newCount < Capacity() - 100)
        SetCapacity(newCount);
}

std::int32_t TtsSortIntList::Get(int index) const {
    return index >= 1 && index <= FCount ? FItems[index] : 0;
}

void TtsSortIntList::Put(int index, std::int32_t value) {
    if (index >= 1 && index <= FCount) FItems[index] = value;
}

void TtsSortIntList::Insert(int index, std::int32_t value) {
    if (index < 0 || index > FCount + 1) return;
    Grow(FCount + 1);
    if (index == 0) index = 1;
    for (int i = FCount; i >= index; --i)
        FItems[i + 1] = FItems[i];
    FItems[index] = value;
    ++FCount;
}

void TtsSortIntList::Delete(int index) {
    if (index < 1 || index > FCount) return;
    for (int i = index; i < FCount; ++i)
        FItems[i] = FItems[i + 1];
    // Count first: a shrinking capacity must not cut off a live entry.
    --FCount;
    Grow(FCount);
}

int TtsSortIntList::Find(std::int32_t value, bool& found) const {
    int low = 1;
    int high = FCount;
    found = false;
    while (low <= high) {
        const int mid = (low + high) / 2;
        if (FItems[mid] > value)
            high = mid - 1;
        else if (FItems[mid] < value)
            low = mid + 1;
        else {
            found = true;
            return mid;
        }
    }
    return low;
}

void TtsSortIntList::Add(std::int32_t value) {
    bool found = false;
    const int at = TtsSortIntList::Find(value, found);
    if (!found) TtsSortIntList::Insert(at, value);
}

void TtsSortIntList::Remove(std::int32_t value) {
    bool found = false;
    const int at = TtsSortIntList::Find(value, found);
    if (found) TtsSortIntList::Delete(at);
}

void TtsSortIntList::Assign(const TtsSortIntList& source) {
    if (&source == this) return;
    if (source.FCount > 0) {
        Grow(source.FCount);
        if (Capacity() < source.FCount) SetCapacity(source.FCount);
        std::copy(source.FItems.begin(), source.FItems.begin() + source.FCount + 1, FItems.begin());
        FCount = source.FCount;
    } else {
        FItems.clear();
        FCount = 0;
    }
}

// --- Integer lists
// ---------------------------------------------------------------------------------

int TtsIntegerList::Add(std::int32_t v) {
    FItems.push_back(v);
    return Count() - 1;
}

std::int32_t TtsIntegerList::Get(int index) const {
    return index >= 0 && index < Count() ? FItems[index] : 0;
}

void TtsIntegerList::Put(int index, std::int32_t v) {
    if (index >= 0 && index < Count()) FItems[index] = v;
}

void TtsIntegerList::Insert(int index, std::int32_t v) {
    if (index < 0 || index > Count()) return;
    FItems.insert(FItems.begin() + index, v);
}

void TtsIntegerList::Delete(int index) {
    if (index >= 0 && index < Count()) FItems.erase(FItems.begin() + index);
}

int TtsIntegerList::IndexOf(std::int32_t v) const {
    auto it = std::find(FItems.begin(), FItems.end(), v);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

int TtsIntegerList::Remove(std::int32_t v) {
    const int i = IndexOf(v);
    Delete(i);
    return i;
}

void TtsIntegerList::SetCount(int n) {
    FItems.resize(n > 0 ? static_cast<std::size_t>(n) : 0, 0);
}

void TtsIntegerSetList::SetCount(int n) {
    FItems.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
}

TtsIntegerSet* TtsIntegerSetList::Get(int index) const {
    return index >= 0 && index < Count() ? FItems[index].get() : nullptr;
}

void TtsIntegerSetList::Put(int index, std::unique_ptr<TtsIntegerSet> set) {
    if (index < 0) return;
    if (index >= Count()) SetCount(index + 1);
    FItems[index] = std::move(set);
}

void TtsIntegerSetList::ClearSets() {
    for (auto& s : FItems)
        s.reset();
}

void TtsIntegerSetList::Assign(const TtsIntegerSetList& source) {
    if (&source == this) return;
    // The destination becomes a copy: as many entries as the source.
    ClearSets();
    SetCount(source.Count());
    const int n = source.Count();
    for (int i = 0; i < n; ++i) {
        if (!source.FItems[i]) continue;
        auto s = std::make_unique<TtsIntegerSet>();
        s->Assign(*source.FItems[i]);
        FItems[i] = std::move(s);
    }
}

} // namespace vel
