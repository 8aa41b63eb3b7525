#include "TSSetLib.h"

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
    if (Count_ == Capacity()) Items_.resize(Items_.size() + 10);
    Items_[Count_++] = TItem{node, direction};
}

TtsNodeStack::TItem TtsNodeStack::Pop() {
    if (Count_ == 0) return {};
    return Items_[--Count_];
}

TtsNodeStack::TItem TtsNodeStack::GetItem(int index) const {
    if (index < 1 || index > Count_) return {};
    return Items_[index - 1];
}

void TtsNodeStack::SetItem(int index, TtsSetNode* node, std::int8_t direction) {
    if (index < 1 || index > Count_) return;
    Items_[index - 1] = TItem{node, direction};
}

void TtsSetList::Put(int index, const void* value) {
    if (index >= 1 && index <= Count()) Items_[index - 1] = value;
}

const void* TtsSetList::Get(int index) const {
    return index >= 1 && index <= Count() ? Items_[index - 1] : nullptr;
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
    FreeTree(Root_);
}

void TtsCustomSet::FreeTree(TtsSetNode* node) {
    if (!node) return;
    FreeTree(node->Left);
    FreeTree(node->Right);
    delete node;
}

void TtsCustomSet::Clear() {
    FreeTree(Root_);
    Root_ = nullptr;
    Count_ = 0;
    Stack_.Clear();
}

std::unique_ptr<TtsSetNode> TtsCustomSet::CreateNode(const void*) {
    return std::make_unique<TtsSetNode>();
}

TtsSetNode* TtsCustomSet::NewNode(const void* key) {
    TtsSetNode* n = CreateNode(key).release();
    n->Balance = 0;
    ++Count_;
    return n;
}

void TtsCustomSet::Link(TtsSetNode* parent, int direction, TtsSetNode* child) {
    if (!parent)
        Root_ = child;
    else
        Child(parent, direction) = child;
}

TtsSetNode* TtsCustomSet::Insert(const void* key) {
    if (!Root_) {
        Root_ = NewNode(key);
        return Root_;
    }
    TtsSetNode* critical = Root_;
    TtsSetNode* criticalParent = nullptr;
    TtsSetNode* node = Root_;
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
            Root_ = top;
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
    Stack_.Clear();
    TtsSetNode* node = Root_;
    while (node) {
        const int c = node->CompareSearch(*this, key);
        if (c == 1) break;
        const int d = c == 0 ? -1 : 1;
        Stack_.Push(node, static_cast<std::int8_t>(d));
        node = Child(node, d);
    }
    if (!node) return nullptr;
    TtsSetNode* parent = Stack_.GetItem(Stack_.Count()).Node;
    const int parentDir = Stack_.GetItem(Stack_.Count()).Direction;
    if (node->Left && node->Right) {
        Stack_.Push(node, 1);
        const int remembered = Stack_.Count();
        TtsSetNode* succ = node->Right;
        while (succ->Left) {
            Stack_.Push(succ, -1);
            succ = succ->Left;
        }
        // Unlink the successor from its parent (the stack top).
        auto top = Stack_.GetItem(Stack_.Count());
        Child(top.Node, top.Direction) = succ->Right;
        // The successor takes the found node's place.
        Link(parent, parentDir, succ);
        succ->Left = node->Left;
        succ->Right = node->Right;
        succ->Balance = node->Balance;
        Stack_.SetItem(remembered, succ, 1);
    } else {
        Link(parent, parentDir, node->Left ? node->Left : node->Right);
    }
    --Count_;
    // Rebalance upward.
    bool finished = false;
    while (!finished && Stack_.Count() > 0) {
        const auto item = Stack_.GetItem(Stack_.Count());
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
            const auto below = Stack_.GetItem(Stack_.Count() - 1);
            Link(below.Node, below.Direction, sub);
        }
        Stack_.Pop();
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
    ++AssignLevel_;
    struct Guard {
        int& Level;
        ~Guard() { --Level; }
    } guard{AssignLevel_};
    Root_ = CopyTree(source.Root_);
}

std::unique_ptr<TtsSetList> TtsCustomSet::ToList() const {
    std::vector<const TtsSetNode*> nodes;
    Walk(Root_, nodes);
    auto list = std::make_unique<TtsSetList>(static_cast<int>(nodes.size()));
    for (std::size_t i = 0; i < nodes.size(); ++i)
        list->Put(static_cast<int>(i) + 1, nodes[i]->Value());
    return list;
}

int TtsCustomSet::Height() const {
    return HeightOf(Root_);
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
    Items_.resize(static_cast<std::size_t>(n) + 1, 0);
    if (Count_ > n) Count_ = n;
}

void TtsSortIntList::Grow(int newCount) {
    if (newCount > Capacity())
        SetCapacity(newCount + 100);
    else if (newCount < Capacity() - 100)
        SetCapacity(newCount);
}

std::int32_t TtsSortIntList::Get(int index) const {
    return index >= 1 && index <= Count_ ? Items_[index] : 0;
}

void TtsSortIntList::Put(int index, std::int32_t value) {
    if (index >= 1 && index <= Count_) Items_[index] = value;
}

void TtsSortIntList::Insert(int index, std::int32_t value) {
    if (index < 0 || index > Count_ + 1) return;
    Grow(Count_ + 1);
    if (index == 0) index = 1;
    for (int i = Count_; i >= index; --i)
        Items_[i + 1] = Items_[i];
    Items_[index] = value;
    ++Count_;
}

void TtsSortIntList::Delete(int index) {
    if (index < 1 || index > Count_) return;
    for (int i = index; i < Count_; ++i)
        Items_[i] = Items_[i + 1];
    // Count first: a shrinking capacity must not cut off a live entry.
    --Count_;
    Grow(Count_);
}

int TtsSortIntList::Find(std::int32_t value, bool& found) const {
    int low = 1;
    int high = Count_;
    found = false;
    while (low <= high) {
        const int mid = (low + high) / 2;
        if (Items_[mid] > value)
            high = mid - 1;
        else if (Items_[mid] < value)
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
    if (source.Count_ > 0) {
        Grow(source.Count_);
        if (Capacity() < source.Count_) SetCapacity(source.Count_);
        std::copy(source.Items_.begin(), source.Items_.begin() + source.Count_ + 1, Items_.begin());
        Count_ = source.Count_;
    } else {
        Items_.clear();
        Count_ = 0;
    }
}

// --- Integer lists
// ---------------------------------------------------------------------------------

int TtsIntegerList::Add(std::int32_t v) {
    Items_.push_back(v);
    return Count() - 1;
}

std::int32_t TtsIntegerList::Get(int index) const {
    return index >= 0 && index < Count() ? Items_[index] : 0;
}

void TtsIntegerList::Put(int index, std::int32_t v) {
    if (index >= 0 && index < Count()) Items_[index] = v;
}

void TtsIntegerList::Insert(int index, std::int32_t v) {
    if (index < 0 || index > Count()) return;
    Items_.insert(Items_.begin() + index, v);
}

void TtsIntegerList::Delete(int index) {
    if (index >= 0 && index < Count()) Items_.erase(Items_.begin() + index);
}

int TtsIntegerList::IndexOf(std::int32_t v) const {
    auto it = std::find(Items_.begin(), Items_.end(), v);
    return it == Items_.end() ? -1 : static_cast<int>(it - Items_.begin());
}

int TtsIntegerList::Remove(std::int32_t v) {
    const int i = IndexOf(v);
    Delete(i);
    return i;
}

void TtsIntegerList::SetCount(int n) {
    Items_.resize(n > 0 ? static_cast<std::size_t>(n) : 0, 0);
}

void TtsIntegerSetList::SetCount(int n) {
    Items_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
}

TtsIntegerSet* TtsIntegerSetList::Get(int index) const {
    return index >= 0 && index < Count() ? Items_[index].get() : nullptr;
}

void TtsIntegerSetList::Put(int index, std::unique_ptr<TtsIntegerSet> set) {
    if (index < 0) return;
    if (index >= Count()) SetCount(index + 1);
    Items_[index] = std::move(set);
}

void TtsIntegerSetList::ClearSets() {
    for (auto& s : Items_)
        s.reset();
}

void TtsIntegerSetList::Assign(const TtsIntegerSetList& source) {
    if (&source == this) return;
    ClearSets();
    const int n = std::min(Count(), source.Count());
    for (int i = 0; i < n; ++i) {
        if (!source.Items_[i]) continue;
        auto s = std::make_unique<TtsIntegerSet>();
        s->Assign(*source.Items_[i]);
        Items_[i] = std::move(s);
    }
}

} // namespace vel
