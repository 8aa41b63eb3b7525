#pragma once
// Keyed containers of the grid: height-balanced search trees whose nodes
// compare themselves with a search key, and sorted / plain integer lists.
// Comparisons answer where the key lies: 0 left, 1 equal, 2 right.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vel {

class TtsCustomSet;

class TtsSetNode {
public:
    TtsSetNode* Left = nullptr;
    TtsSetNode* Right = nullptr;
    std::int8_t Balance = 0; // -1 left side one higher, +1 right side one higher

    TtsSetNode() = default;
    virtual ~TtsSetNode() = default;
    TtsSetNode(const TtsSetNode&) = delete;
    TtsSetNode& operator=(const TtsSetNode&) = delete;

    // Copies the balance; the children are cleared.
    virtual void Assign(const TtsSetNode& source);
    virtual int Compare(const TtsCustomSet& set, const void* key) const;
    // Used by look-up and removal.
    virtual int CompareSearch(const TtsCustomSet& set, const void* key) const;
    // The node's item as a pointer-sized value.
    virtual const void* Value() const { return nullptr; }
};

// Path stack of a deletion, 1-based pairs (node, direction -1 left / +1 right).
class TtsNodeStack {
public:
    struct TItem {
        TtsSetNode* Node = nullptr;
        std::int8_t Direction = 0;
    };
    int Count() const { return FCount; }
    int Capacity() const { return static_cast<int>(FItems.size()); }
    void Push(TtsSetNode* node, std::int8_t direction);
    TItem Pop(); // a zero pair when empty
    TItem GetItem(int index) const;
    void SetItem(int index, TtsSetNode* node, std::int8_t direction);
    void Clear() { FCount = 0; }

private:
    std::vector<TItem> FItems;
    int FCount = 0;
};

// In-order list of node values, 1-based.
class TtsSetList {
public:
    explicit TtsSetList(int count) : FItems(count > 0 ? count : 0, nullptr) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    void Put(int index, const void* value);
    const void* Get(int index) const;

private:
    std::vector<const void*> FItems;
};

class TtsCustomSet {
public:
    TtsCustomSet() = default;
    virtual ~TtsCustomSet();
    TtsCustomSet(const TtsCustomSet&) = delete;
    TtsCustomSet& operator=(const TtsCustomSet&) = delete;

    int Count() const { return FCount; }
    TtsSetNode* Root() const { return FRoot; }
    TtsNodeStack& Stack() { return FStack; }
    bool IsAssigning() const { return FAssignLevel != 0; }

    virtual void Assign(const TtsCustomSet& source);
    virtual void Clear();

    // The node holding the key, new or existing.
    TtsSetNode* Insert(const void* key);
    TtsSetNode* Search(TtsSetNode* node, const void* key) const;
    // Unlinks and returns the node (the caller frees it), or null.
    std::unique_ptr<TtsSetNode> Delete(const void* key);
    std::unique_ptr<TtsSetList> ToList() const;
    // Height of the tree, for checks.
    int Height() const;

protected:
    virtual std::unique_ptr<TtsSetNode> CreateNode(const void* key);
    virtual TtsSetNode* CopyTree(const TtsSetNode* source);
    TtsSetNode* NewNode(const void* key);

private:
    void FreeTree(TtsSetNode* node);
    void Link(TtsSetNode* parent, int direction, TtsSetNode* child);

    int FCount = 0;
    TtsSetNode* FRoot = nullptr; // nodes are owned by the tree and freed by Clear
    TtsNodeStack FStack;
    int FAssignLevel = 0;
};

class TtsIntegerSetNode : public TtsSetNode {
public:
    explicit TtsIntegerSetNode(std::int32_t v) : IntValue(v) {}
    std::int32_t IntValue;
    void Assign(const TtsSetNode& source) override;
    int Compare(const TtsCustomSet& set, const void* key) const override;
    const void* Value() const override { return &IntValue; }
};

class TtsIntegerSet : public TtsCustomSet {
public:
    // Address of the stored integer, new or existing.
    const std::int32_t* Add(std::int32_t v);
    const std::int32_t* Find(std::int32_t v) const;
    void Remove(std::int32_t v);
    // The values in ascending order.
    std::vector<std::int32_t> Values() const;

protected:
    std::unique_ptr<TtsSetNode> CreateNode(const void* key) override;
};

// An item of an object set; descendants supply the keys.
class TtsSetElement {
public:
    TtsSetElement() = default;
    virtual ~TtsSetElement() = default;
    TtsSetElement(const TtsSetElement&) = delete;
    TtsSetElement& operator=(const TtsSetElement&) = delete;
    // Where `other`'s key lies against this element.
    virtual int CompareKey(const TtsCustomSet& set, const TtsSetElement& other) const;
    // Where a search key lies against this element.
    virtual int CompareSearch(const TtsCustomSet& set, const void* key, int limit) const;
    virtual std::string KeyText() const { return {}; }
};

class TtsObjectSetNode : public TtsSetNode {
public:
    std::unique_ptr<TtsSetElement> Element;
    int Compare(const TtsCustomSet& set, const void* key) const override;
    int CompareSearch(const TtsCustomSet& set, const void* key) const override;
    const void* Value() const override { return Element.get(); }
};

// A set that owns its elements. Add takes the element as its own key; Find
// and Remove take the caller's key record, which CompareSearch understands.
class TtsObjectSet : public TtsCustomSet {
public:
    // An element with an equal key is replaced and freed. Returns the stored element.
    TtsSetElement* Add(std::unique_ptr<TtsSetElement> element);
    TtsSetElement* Find(const void* key) const;
    void Remove(const void* key);
    // Unlinks without freeing.
    std::unique_ptr<TtsSetElement> Extract(const void* key);
    // Every element in key order.
    std::vector<TtsSetElement*> Elements() const;

protected:
    std::unique_ptr<TtsSetNode> CreateNode(const void* key) override;
    // Elements are not copied: an assigned object set stays empty.
    TtsSetNode* CopyTree(const TtsSetNode* source) override;
};

// Sorted, duplicate-free integer list; entries 1..Count hold the items.
class TtsSortIntList {
public:
    TtsSortIntList() = default;
    virtual ~TtsSortIntList() = default;

    int Count() const { return FCount; }
    int Capacity() const { return static_cast<int>(FItems.empty() ? 0 : FItems.size() - 1); }

    virtual void Assign(const TtsSortIntList& source);
    virtual void Grow(int newCount);
    virtual std::int32_t Get(int index) const; // 0 outside 1..Count
    virtual void Insert(int index, std::int32_t value);
    virtual void Delete(int index);
    virtual void SetCapacity(int n);
    virtual void Add(std::int32_t value);
    // Position of the value, or where it would be inserted.
    virtual int Find(std::int32_t value, bool& found) const;
    virtual void Remove(std::int32_t value);
    void Put(int index, std::int32_t value);

protected:
    std::vector<std::int32_t> FItems; // Capacity + 1 entries, entry 0 unused
    int FCount = 0;
};

class TtsIntegerList {
public:
    virtual ~TtsIntegerList() = default;
    int Count() const { return static_cast<int>(FItems.size()); }
    int Add(std::int32_t v);
    std::int32_t Get(int index) const; // 0-based; 0 outside
    void Put(int index, std::int32_t v);
    void Insert(int index, std::int32_t v);
    void Delete(int index);
    // Removes the first occurrence; its former index or -1.
    int Remove(std::int32_t v);
    int IndexOf(std::int32_t v) const;
    void Clear() { FItems.clear(); }
    void SetCount(int n);

protected:
    std::vector<std::int32_t> FItems;
};

// A list of owned integer sets; an entry may be empty.
class TtsIntegerSetList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    void SetCount(int n);
    TtsIntegerSet* Get(int index) const;
    void Put(int index, std::unique_ptr<TtsIntegerSet> set);
    void ClearSets();
    void Assign(const TtsIntegerSetList& source);

private:
    std::vector<std::unique_ptr<TtsIntegerSet>> FItems;
};

} // namespace vel
