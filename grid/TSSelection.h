#pragma once
// Selected rows or columns by display position; index 0 never counts.
#include <vector>

namespace vel {

class TtsSelection {
public:
    bool Assign(const TtsSelection& other); // true when a bit changed
    void Clear();
    int Size() const { return static_cast<int>(Bits_.size()); }
    void SetSize(int n);
    bool IsSelected(int i) const;
    int NextSelected(int i) const;
    int PrevSelected(int i) const;
    int CountInRange(int a, int b) const;
    int First() const { return First_; }
    int Last() const { return Last_; }
    int SelectedCount() const { return Count_; }
    // Sets or clears one bit, keeping first, last and count right.
    void Select(int i, bool on);

private:
    std::vector<bool> Bits_;
    int First_ = -1;
    int Last_ = -1;
    int Count_ = 0;
};

} // namespace vel
