#include "TSSelection.h"

#include <algorithm>
#include <utility>

namespace vel {

bool TtsSelection::Assign(const TtsSelection& other) {
    if (&other == this) return false;
    if (FCount == 0 && other.FCount == 0) {
        FBits.resize(other.FBits.size());
        FFirst = FLast = -1;
        return false;
    }
    bool changed = false;
    if (FBits.size() != other.FBits.size()) FBits.resize(other.FBits.size());
    for (std::size_t i = 0; i < FBits.size(); ++i)
        if (FBits[i] != other.FBits[i]) {
            FBits[i] = other.FBits[i];
            changed = true;
        }
    FFirst = other.FFirst;
    FLast = other.FLast;
    FCount = other.FCount;
    return changed;
}

void TtsSelection::Clear() {
    std::fill(FBits.begin(), FBits.end(), false);
    FCount = 0;
    FFirst = FLast = -1;
}

void TtsSelection::SetSize(int n) {
    if (n < 0) n = 0;
    const int old = Size();
    if (n < old) {
        for (int i = std::max(n, 1); i < old; ++i)
            if (FBits[static_cast<std::size_t>(i)]) --FCount;
        FBits.resize(static_cast<std::size_t>(n));
        if (FLast >= n) {
            int i = n - 1;
            while (i >= 1 && !FBits[static_cast<std::size_t>(i)])
                --i;
            FLast = i >= 1 ? i : -1;
        }
        if (FFirst > n - 1) FFirst = -1;
        if (FCount <= 0) {
            FCount = 0;
            FFirst = FLast = -1;
        }
    } else {
        FBits.resize(static_cast<std::size_t>(n), false);
    }
}

bool TtsSelection::IsSelected(int i) const {
    return i >= 1 && i < Size() && FBits[static_cast<std::size_t>(i)];
}

int TtsSelection::NextSelected(int i) const {
    if (FCount < 1 || i >= FLast) return -1;
    for (int j = std::max(i + 1, 1); j < Size(); ++j)
        if (FBits[static_cast<std::size_t>(j)]) return j;
    return -1;
}

int TtsSelection::PrevSelected(int i) const {
    if (FCount < 1 || i <= FFirst) return -1;
    for (int j = std::min(i - 1, Size() - 1); j >= 1; --j)
        if (FBits[static_cast<std::size_t>(j)]) return j;
    return -1;
}

int TtsSelection::CountInRange(int a, int b) const {
    if (a > b) std::swap(a, b);
    a = std::max(a, 1);
    b = std::min(b, Size() - 1);
    if (FCount < 1 || a > b || b < FFirst || a > FLast) return 0;
    if (a <= FFirst && b >= FLast) return FCount;
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
    const bool bit = FBits[static_cast<std::size_t>(i)];
    if (bit == on) return;
    FBits[static_cast<std::size_t>(i)] = on;
    if (on) {
        ++FCount;
        if (FFirst == -1 || i < FFirst) FFirst = i;
        if (FLast == -1 || i > FLast) FLast = i;
        return;
    }
    --FCount;
    if (FCount == 0) {
        FFirst = FLast = -1;
        return;
    }
    if (i == FFirst) {
        int j = i + 1;
        while (!FBits[static_cast<std::size_t>(j)])
            ++j;
        FFirst = j;
    }
    if (i == FLast) {
        int j = i - 1;
        while (!FBits[static_cast<std::size_t>(j)])
            --j;
        FLast = j;
    }
}

} // namespace vel
