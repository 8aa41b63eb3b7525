#include "TSSelection.h"

#include <algorithm>
#include <utility>

namespace vel {

bool TtsSelection::Assign(const TtsSelection& other) {
    if (&other == this) return false;
    if (Count_ == 0 && other.Count_ == 0) {
        Bits_.resize(other.Bits_.size());
        First_ = Last_ = -1;
        return false;
    }
    bool changed = false;
    if (Bits_.size() != other.Bits_.size()) Bits_.resize(other.Bits_.size());
    for (std::size_t i = 0; i < Bits_.size(); ++i)
        if (Bits_[i] != other.Bits_[i]) {
            Bits_[i] = other.Bits_[i];
            changed = true;
        }
    First_ = other.First_;
    Last_ = other.Last_;
    Count_ = other.Count_;
    return changed;
}

void TtsSelection::Clear() {
    std::fill(Bits_.begin(), Bits_.end(), false);
    Count_ = 0;
    First_ = Last_ = -1;
}

void TtsSelection::SetSize(int n) {
    if (n < 0) n = 0;
    const int old = Size();
    if (n < old) {
        for (int i = std::max(n, 1); i < old; ++i)
            if (Bits_[static_cast<std::size_t>(i)]) --Count_;
        Bits_.resize(static_cast<std::size_t>(n));
        if (Last_ >= n) {
            int i = n - 1;
            while (i >= 1 && !Bits_[static_cast<std::size_t>(i)])
                --i;
            Last_ = i >= 1 ? i : -1;
        }
        if (First_ > n - 1) First_ = -1;
        if (Count_ <= 0) {
            Count_ = 0;
            First_ = Last_ = -1;
        }
    } else {
        Bits_.resize(static_cast<std::size_t>(n), false);
    }
}

bool TtsSelection::IsSelected(int i) const {
    return i >= 1 && i < Size() && Bits_[static_cast<std::size_t>(i)];
}

int TtsSelection::NextSelected(int i) const {
    if (Count_ < 1 || i >= Last_) return -1;
    for (int j = std::max(i + 1, 1); j < Size(); ++j)
        if (Bits_[static_cast<std::size_t>(j)]) return j;
    return -1;
}

int TtsSelection::PrevSelected(int i) const {
    if (Count_ < 1 || i <= First_) return -1;
    for (int j = std::min(i - 1, Size() - 1); j >= 1; --j)
        if (Bits_[static_cast<std::size_t>(j)]) return j;
    return -1;
}

int TtsSelection::CountInRange(int a, int b) const {
    if (a > b) std::swap(a, b);
    a = std::max(a, 1);
    b = std::min(b, Size() - 1);
    if (Count_ < 1 || a > b || b < First_ || a > Last_) return 0;
    if (a <= First_ && b >= Last_) return Count_;
    int n = IsSelected(a) ? 1 : 0;
    for (int i = NextSelected(a); i != -1 && i <= b; i = NextSelected(i))
        ++n;
    return n;
}

void TtsSelection::Select(int i, bool on) {
    if (i < 1) return;
    if (i >= Size()) {
        if (!on) return;
        SetSize(i + 1);
    }
    const bool bit = Bits_[static_cast<std::size_t>(i)];
    if (bit == on) return;
    Bits_[static_cast<std::size_t>(i)] = on;
    if (on) {
        ++Count_;
        if (First_ == -1 || i < First_) First_ = i;
        if (Last_ == -1 || i > Last_) Last_ = i;
        return;
    }
    --Count_;
    if (Count_ == 0) {
        First_ = Last_ = -1;
        return;
    }
    if (i == First_) {
        int j = i + 1;
        while (!Bits_[static_cast<std::size_t>(j)])
            ++j;
        First_ = j;
    }
    if (i == Last_) {
        int j = i - 1;
        while (!Bits_[static_cast<std::size_t>(j)])
            --j;
        Last_ = j;
    }
}

} // namespace vel
