// Header and column streams read into a tree's header. A refused stream is an
// EReadError and leaves the header exactly as it was.
#include "FuzzTarget.h"
#include "Bitmap.h"
#include "LazyStringTree.h"

namespace {

using namespace vel;

std::vector<std::uint8_t> Saved(TLTHeader& H) {
    TMemoryStream S;
    H.SaveToStream(S);
    return S.Data();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TLazyStringTree T(nullptr);
    T.Header()->Columns().Add()->SetWidth(60);
    T.Header()->Columns().Add()->SetText(u"B");
    const std::vector<std::uint8_t> Before = Saved(*T.Header());
    TMemoryStream S(std::vector<std::uint8_t>(data, data + size));
    try {
        T.Header()->LoadFromStream(S);
    } catch (const EReadError&) {
        FuzzCheck(Saved(*T.Header()) == Before, "refused header kept");
        return 0;
    }
    // What was taken paints and measures without overflow.
    T.SetBounds(0, 0, 300, 200);
    T.SetRootNodeCount(3);
    fw::TBitmap Shot;
    Shot.SetSize(300, 200);
    fw::PaintControlTo(&T, Shot.Surface());
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    TLazyStringTree T(nullptr);
    auto& Cols = T.Header()->Columns();
    Cols.Add()->SetText(u"Name");
    Cols.Add()->SetWidth(120);
    Cols[1].SetHint(u"hint");
    T.Header()->SetHeight(24);
    T.Header()->SetSortColumn(1);
    std::vector<std::vector<std::uint8_t>> Seeds{Saved(*T.Header())};
    Cols.Clear();
    Seeds.push_back(Saved(*T.Header()));
    return Seeds;
}
