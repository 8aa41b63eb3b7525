#pragma once
// Selected rows or columns by display position; index 0 never counts.
#include <vector>

namespace vel {

class TtsSelection {
public:
    bool Assign(const TtsSelection& other); // true when a bit changed
    void Clear();
    int Size() const { return static_cast<int>(FBits.size()); }
    void SetSize(int n);
    bool IsSelected(int i) const;
    int NextSelected(int i) const;
    int PrevSelected(int i) const;
    int CountInRange(int a, int b) const;
    int First() const { return FFirst; }
    int Last() const { return FLast; }
    int SelectedCount() const { return FCount; }
    // Sets or clears one bit, keeping first, last and count right.
    void Select(int i, bool on);

private:
    std::vector<bool> FBits;
    int FFirst = -1;
    int FLast = -1;
    int FCount = 0;
};

} // namespace vel
