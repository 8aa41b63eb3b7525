// The grid's cell value stream: read into a storage that already holds values,
// with and without a column map, as a grid of GridRows rows reads it. A refused
// stream must leave the values as they were; an accepted one must write back to
// the same bytes' meaning; the row table never outgrows the grid.
#include <algorithm>
#include <functional>

#include "Bitmap.h"
#include "FuzzTarget.h"
#include "TSStorage.h"

namespace {

constexpr int GridRows = 100;

void Prefill(vel::Tts2DStorage& st) {
    st.SetValue(1, 1, vel::tagText, std::string("kept"));
    st.SetValue(3, 2, vel::tagInteger, std::int32_t{7});
}

// Two pictures of the same size (an empty one read back from its header-only image).
bool SameSize(const fw::TBitmap* a, const fw::TBitmap* b) {
    return a && b && a->Empty() == b->Empty() &&
           (a->Empty() || (a->Width() == b->Width() && a->Height() == b->Height()));
}

// The same non-empty cells (a row whose cells are all empty counts as no row).
bool SameValues(const vel::Tts2DStorage& a, const vel::Tts2DStorage& b) {
    const int rows = std::max(a.RowSlots(), b.RowSlots());
    for (int r = 1; r < rows; ++r) {
        if (a.LastNonEmptyCol(r) != b.LastNonEmptyCol(r)) return false;
        for (int c = 1; c <= a.LastNonEmptyCol(r); ++c) {
            if (a.GetTag(c, r) != b.GetTag(c, r)) return false;
            if (a.GetTag(c, r) == vel::tagBitmap ? !SameSize(a.GetBitmap(c, r), b.GetBitmap(c, r))
                                                 : !vel::VarSame(a.GetValue(c, r), b.GetValue(c, r)))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const std::vector<std::int32_t> map{3, 0, 1};
    for (const std::vector<std::int32_t>* m :
         {static_cast<const std::vector<std::int32_t>*>(nullptr), &map}) {
        vel::Tts2DStorage st(0, 0), before(0, 0);
        Prefill(st);
        Prefill(before);
        vel::TMemoryStream in(bytes);
        try {
            st.LoadFromStream(in, m, GridRows);
        } catch (const vel::EReadError&) {
            FuzzCheck(SameValues(st, before) && st.RowSlots() == before.RowSlots(),
                      "a refused stream leaves the values as they were");
            continue;
        }
        FuzzCheck(st.RowSlots() <= std::max(before.RowSlots(), GridRows + 10),
                  "the row table never outgrows the grid");
        // What was read writes back and reads again to the same values.
        vel::TMemoryStream out;
        st.SaveToStream(out);
        vel::Tts2DStorage again(0, 0);
        out.SetPosition(0);
        again.LoadFromStream(out, nullptr);
        FuzzCheck(SameValues(st, again), "what was read writes back to the same values");
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    auto seed = [&](const std::function<void(vel::Tts2DStorage&)>& fill) {
        vel::Tts2DStorage st(0, 0);
        fill(st);
        vel::TMemoryStream s;
        st.SaveToStream(s);
        seeds.push_back(s.Data());
    };
    seed([](vel::Tts2DStorage&) {});
    seed([](vel::Tts2DStorage& st) {
        st.SetValue(1, 1, vel::tagText, std::string("text"));
        st.SetValue(2, 1, vel::tagInteger, std::int32_t{-5});
        st.SetValue(4, 1, vel::tagText2, std::string("second kind"));
        st.SetValue(1, 3, vel::tagNull, vel::TtsVariant(vel::TtsNull{}));
        st.SetValue(2, 3, vel::tagInteger, std::int32_t{1 << 30});
    });
    seed([](vel::Tts2DStorage& st) {
        static fw::TBitmap a(3, 2), b(1, 1), none;
        a.Canvas().Pixels(0, 0);
        st.SetValue(1, 1, vel::tagBitmap, static_cast<fw::TObject*>(&a));
        st.SetValue(2, 2, vel::tagBitmap, static_cast<fw::TObject*>(&a));
        st.SetValue(1, 2, vel::tagBitmap, static_cast<fw::TObject*>(&b));
        st.SetValue(3, 2, vel::tagBitmap, static_cast<fw::TObject*>(&none));
    });
    return seeds;
}
