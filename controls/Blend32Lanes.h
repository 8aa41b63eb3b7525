// The line kernels over one register type. Included by Blend32.cpp once per
// register width, inside a namespace that defines the operations `V` and
// under the processor target of that width; no include guard on purpose.
// No header of its own: it sits inside the includer's namespace.

// One half of a register of pixels, widened to 16-bit channels: weights
// folded as in detail::Folded, then the set's formula. Wide: B·256 +
// (F − B)·a + 128 wraps in 16 bits to the exact sum, which stays below 2^16.
template <bool Wide, bool Ex>
inline V::T MixHalf(V::T f, V::T b, V::T mw) {
    const V::T one = V::Set16(1);
    const V::T bias = V::Set16(128);
    const V::T alpha = V::AlphaLanes(f);
    V::T a;
    if constexpr (Ex) {
        // Wide: ((alpha + 1) × M) shr 8; plain: ((M + 1) × alpha) shr 8.
        a = V::Shr8(V::Mul16(Wide ? V::Add16(alpha, one) : alpha, mw));
    } else {
        a = V::Add16(alpha, V::Shr8(V::Add16(alpha, one))); // 255 -> 256
    }
    if constexpr (Wide) {
        return V::Shr8(V::Add16(V::Or(V::Shl8(b), bias), V::Mul16(V::Sub16(f, b), a)));
    } else {
        V::T nb = V::Sub16(V::Set16(255), Ex ? a : alpha);
        nb = V::Add16(nb, V::Shr8(V::Add16(nb, one))); // a 0 -> nb 256
        const V::T p = V::Shr8(V::Add16(V::Mul16(f, a), bias));
        const V::T q = V::Shr8(V::Add16(V::Mul16(b, nb), bias));
        return V::Add16(p, q);
    }
}

template <bool Wide, bool Ex>
inline V::T MixPixels(V::T f, V::T b, V::T mw) {
    const V::T zero = V::Zero();
    return V::Pack(MixHalf<Wide, Ex>(V::Lo(f, zero), V::Lo(b, zero), mw),
                   MixHalf<Wide, Ex>(V::Hi(f, zero), V::Hi(b, zero), mw));
}

// Two registers a round, every load of the round before its stores, so that
// a store never sits between the loads it could be taken to alias. Runs of
// transparent (and, without a master alpha, opaque) pixels skip the mix: the
// formulas give B and F exactly there. Answers the pixels done.
template <bool Wide, bool Ex>
int LineRounds(const TColor32* Src, TColor32* Dst, int Count, std::uint32_t M) {
    const V::T alphaMask = V::Set32(0xFF000000u);
    const V::T zero = V::Zero();
    const V::T mw = V::Set16(Wide ? M : M + 1);
    constexpr int P = V::Pixels;
    int i = 0;
    for (; i + 2 * P <= Count; i += 2 * P) {
        const V::T f0 = V::Load(Src + i), f1 = V::Load(Src + i + P);
        if (V::AllEqual32(V::And(V::Or(f0, f1), alphaMask), zero)) continue;
        if constexpr (!Ex) {
            if (V::AllEqual32(V::And(V::And(f0, f1), alphaMask), alphaMask)) {
                V::Store(Dst + i, f0);
                V::Store(Dst + i + P, f1);
                continue;
            }
        }
        const V::T b0 = V::Load(Dst + i), b1 = V::Load(Dst + i + P);
        V::Store(Dst + i, MixPixels<Wide, Ex>(f0, b0, mw));
        V::Store(Dst + i + P, MixPixels<Wide, Ex>(f1, b1, mw));
    }
    if (i + P <= Count) {
        V::Store(Dst + i, MixPixels<Wide, Ex>(V::Load(Src + i), V::Load(Dst + i), mw));
        i += P;
    }
    return i;
}
