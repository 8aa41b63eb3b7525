#include "TSShared.h"
#include "TSStorage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace vel {
namespace {

TtsVariant Text(const char* s) {
    return TtsVariant(std::string(s));
}

TEST(Storage, ValuesByTagAndOutOfRangeReads) {
    Tts2DStorage st(0, 0);
    st.SetValue(2, 3, tagText, Text("abc"));
    st.SetValue(1, 3, tagInteger, TtsVariant(std::int32_t{-7}));
    st.SetValue(3, 3, tagNull, TtsVariant(TtsNull{}));
    EXPECT_EQ(std::get<std::string>(st.GetValue(2, 3)), "abc");
    EXPECT_EQ(std::get<std::int32_t>(st.GetValue(1, 3)), -7);
    EXPECT_TRUE(VarIsNull(st.GetValue(3, 3)));
    EXPECT_EQ(st.GetTag(3, 3), tagNull);
    EXPECT_TRUE(VarIsEmpty(st.GetValue(0, 3)));
    EXPECT_TRUE(VarIsEmpty(st.GetValue(9, 3)));
    EXPECT_TRUE(VarIsEmpty(st.GetValue(1, 99)));
    EXPECT_EQ(st.GetTag(-1, 3), tagEmpty);
    // A text over an integer replaces it; an empty value clears.
    st.SetValue(1, 3, tagText2, Text("x"));
    EXPECT_EQ(st.GetTag(1, 3), tagText2);
    st.SetValue(1, 3, tagText, TtsVariant());
    EXPECT_EQ(st.GetTag(1, 3), tagEmpty);
}

TEST(Storage, EmptyIntoEmptyCellDoesNotGrow) {
    Tts2DStorage st(0, 0);
    st.SetValue(50, 40, tagText, TtsVariant());
    EXPECT_EQ(st.RowSlots(), 0);
    st.SetValue(2, 1, tagInteger, TtsVariant(std::int32_t{1}));
    EXPECT_EQ(st.RowSlots(), 11);
    EXPECT_EQ(st.ColCount(1), 2);
    st.SetValue(5, 1, tagText, TtsVariant());
    EXPECT_EQ(st.ColCount(1), 2);
}

TEST(Storage, BufferAndRestoreRow) {
    Tts2DStorage st(0, 0);
    st.SetValue(1, 2, tagText, Text("a"));
    st.SetValue(2, 2, tagInteger, TtsVariant(std::int32_t{5}));
    st.BufferRow(2);
    st.SetValue(1, 2, tagText, Text("edited"));
    st.SetValue(4, 2, tagInteger, TtsVariant(std::int32_t{9}));
    st.RestoreRow(2);
    EXPECT_EQ(std::get<std::string>(st.GetValue(1, 2)), "a");
    EXPECT_EQ(std::get<std::int32_t>(st.GetValue(2, 2)), 5);
    EXPECT_EQ(st.GetTag(4, 2), tagEmpty);
    EXPECT_EQ(st.ColCount(0), 0);
}

TEST(Storage, DeleteColsAndRowsCloseTheGap) {
    Tts2DStorage st(0, 0);
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c)
            st.SetValue(c, r, tagInteger, TtsVariant(std::int32_t{r * 10 + c}));
    st.DeleteCols(2, 3);
    EXPECT_EQ(std::get<std::int32_t>(st.GetValue(2, 1)), 14);
    EXPECT_EQ(st.ColCount(1), 2);
    st.DeleteRows(2, 100);
    EXPECT_EQ(st.LastUsedRow(), 1);
    st.DeleteRows(5, 4); // first > last: nothing
    EXPECT_EQ(st.LastUsedRow(), 1);
}

TEST(Storage, AssignCopiesCellsAndFlag) {
    Tts2DStorage a(0, 0);
    a.Flag = true;
    a.SetValue(3, 2, tagText2, Text("t"));
    Tts2DStorage b(0, 0);
    b.SetValue(1, 7, tagInteger, TtsVariant(std::int32_t{1}));
    b.Assign(&a);
    EXPECT_TRUE(b.Flag);
    EXPECT_EQ(b.GetTag(3, 2), tagText2);
    EXPECT_EQ(b.GetTag(1, 7), tagEmpty);
    Tts2DStorage empty(0, 0);
    b.Assign(&empty);
    EXPECT_EQ(b.RowSlots(), 0);
}

TEST(StorageStream, EmptyStorageIsEightBytes) {
    Tts2DStorage st(0, 0);
    TMemoryStream s;
    st.SaveToStream(s);
    EXPECT_EQ(s.Data(), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(StorageStream, RoundTripKeepsTagsAndDropsNulls) {
    Tts2DStorage st(0, 0);
    st.SetValue(1, 1, tagText, Text("one"));
    st.SetValue(2, 1, tagText2, Text("two"));
    st.SetValue(3, 1, tagNull, TtsVariant(TtsNull{}));
    st.SetValue(4, 1, tagInteger, TtsVariant(std::int32_t{-3}));
    st.SetValue(2, 5, tagInteger, TtsVariant(std::int32_t{77}));
    TMemoryStream s;
    st.SaveToStream(s);
    Tts2DStorage back(0, 0);
    back.SetValue(9, 9, tagText, Text("old"));
    s.SetPosition(0);
    back.LoadFromStream(s, nullptr);
    EXPECT_EQ(back.GetTag(1, 1), tagText);
    EXPECT_EQ(back.GetTag(2, 1), tagText2);
    EXPECT_EQ(std::get<std::string>(back.GetValue(2, 1)), "two");
    EXPECT_EQ(back.GetTag(3, 1), tagEmpty); // a null cell comes back empty
    EXPECT_EQ(std::get<std::int32_t>(back.GetValue(4, 1)), -3);
    EXPECT_EQ(std::get<std::int32_t>(back.GetValue(2, 5)), 77);
    EXPECT_EQ(back.GetTag(9, 9), tagEmpty);
    EXPECT_EQ(s.Remaining(), 0u);
}

TEST(StorageStream, ColumnMapMovesAndDropsColumns) {
    Tts2DStorage st(0, 0);
    st.SetValue(1, 1, tagInteger, TtsVariant(std::int32_t{1}));
    st.SetValue(2, 1, tagInteger, TtsVariant(std::int32_t{2}));
    st.SetValue(3, 1, tagInteger, TtsVariant(std::int32_t{3}));
    TMemoryStream s;
    st.SaveToStream(s);
    s.SetPosition(0);
    Tts2DStorage back(0, 0);
    back.SetValue(5, 2, tagInteger, TtsVariant(std::int32_t{55})); // unmapped: kept
    const std::vector<std::int32_t> map{2, 0};
    back.LoadFromStream(s, &map);
    EXPECT_EQ(std::get<std::int32_t>(back.GetValue(2, 1)), 1);
    EXPECT_EQ(std::get<std::int32_t>(back.GetValue(3, 1)), 3);
    EXPECT_EQ(back.GetTag(1, 1), tagEmpty);
    EXPECT_EQ(std::get<std::int32_t>(back.GetValue(5, 2)), 55);
}

TEST(StorageStream, SharedBitmapsAreWrittenOnceAndShareOnLoad) {
    {
        auto* e = NewSharedBitmap();
        e->Bitmap->SetSize(3, 2);
        e->Bitmap->Canvas().SetPixels(1, 1, fw::RGB(10, 20, 30));
        Tts2DStorage st(0, 0);
        st.SetBitmap(1, 1, e->Bitmap);
        st.SetBitmap(2, 3, e->Bitmap);
        TMemoryStream s;
        st.SaveToStream(s);
        s.SetPosition(0);
        Tts2DStorage back(0, 0);
        back.LoadFromStream(s, nullptr);
        fw::TBitmap* a = back.GetBitmap(1, 1);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a, back.GetBitmap(2, 3));
        EXPECT_NE(a, e->Bitmap);
        EXPECT_EQ(a->Width(), 3);
        EXPECT_EQ(a->Canvas().Pixels(1, 1), fw::RGB(10, 20, 30));
        EXPECT_EQ(FindSharedBitmap(a)->RefCount, 2);
        // Exactly one image in the table.
        std::size_t bitmaps = 0;
        const auto& d = s.Data();
        for (std::size_t i = 0; i + 1 < d.size(); ++i)
            if (d[i] == 'B' && d[i + 1] == 'M') ++bitmaps;
        EXPECT_EQ(bitmaps, 1u);
    }
    // Both storages are gone: every owned bitmap went with its last reference.
    ASSERT_NE(SharedBitmaps(), nullptr);
    EXPECT_EQ(SharedBitmaps()->Count(), 0);
}

TEST(StorageStream, BitmapOfTwoCellsLivesUntilBothAreCleared) {
    auto* e = NewSharedBitmap();
    fw::TBitmap* b = e->Bitmap;
    Tts2DStorage st(0, 0);
    st.SetBitmap(1, 1, b);
    st.SetBitmap(1, 2, b);
    st.SetValue(1, 1, tagEmpty, TtsVariant());
    ASSERT_NE(FindSharedBitmap(b), nullptr);
    EXPECT_EQ(FindSharedBitmap(b)->RefCount, 1);
    st.SetValue(1, 2, tagInteger, TtsVariant(std::int32_t{4}));
    EXPECT_EQ(FindSharedBitmap(b), nullptr);
}

std::vector<std::uint8_t> Bytes(std::initializer_list<std::int32_t> words) {
    TMemoryStream s;
    for (auto w : words)
        s.WriteI32(w);
    return s.Data();
}

void ExpectRefused(std::vector<std::uint8_t> data) {
    Tts2DStorage st(0, 0);
    TMemoryStream s(std::move(data));
    EXPECT_THROW(st.LoadFromStream(s, nullptr), EReadError);
}

TEST(StorageStream, DamagedStreamsAreRefused) {
    ExpectRefused({});                        // nothing at all
    ExpectRefused(Bytes({1}));                // row without count
    ExpectRefused(Bytes({-5, 1}));            // negative row
    ExpectRefused(Bytes({0x7FFFFFFF, 1}));    // row far beyond any grid
    ExpectRefused(Bytes({1, 0x7FFFFFFF}));    // cell count beyond the data
    ExpectRefused(Bytes({2, 0, 1, 0, 0, 0})); // rows out of order
    {
        auto d = Bytes({1, 1});
        d.push_back(tagText);
        auto len = Bytes({1000});
        d.insert(d.end(), len.begin(), len.end()); // text longer than what is left
        ExpectRefused(d);
    }
    {
        auto d = Bytes({1, 1});
        d.push_back(9); // unknown tag
        ExpectRefused(d);
    }
    {
        auto d = Bytes({1, 1});
        d.push_back(tagBitmap);
        auto rest = Bytes({0x40000000, 0, 0}); // bitmap number out of range
        d.insert(d.end(), rest.begin(), rest.end());
        ExpectRefused(d);
    }
    ExpectRefused(Bytes({0, 0x7FFFFFFF})); // bitmap count beyond the data
    ExpectRefused(Bytes({0, 1, 50}));      // image size beyond the data
    {
        // A bitmap cell whose image is not a picture.
        auto d = Bytes({1, 1});
        d.push_back(tagBitmap);
        auto rest = Bytes({1, 0, 1, 4, 0x12345678});
        d.insert(d.end(), rest.begin(), rest.end());
        ExpectRefused(d);
    }
}

TEST(StorageStream, TheBitmapTableIsACountThenEachBitmapAsABmpImage) {
    auto* a = NewSharedBitmap();
    a->Bitmap->SetSize(3, 2);
    a->Bitmap->Canvas().SetPixels(2, 1, fw::RGB(10, 20, 30));
    const std::vector<std::uint8_t> image = a->Bitmap->SaveToBmp();
    Tts2DStorage st(0, 0), back(0, 0);
    st.SetBitmap(1, 1, NewSharedBitmap()->Bitmap); // empty: its headers alone, 54 bytes
    st.SetBitmap(1, 2, a->Bitmap);
    TMemoryStream s;
    st.SaveToStream(s);
    // Two rows of 13 bytes, the 0, the count at 30, then the images with no lengths.
    auto d = s.Data();
    ASSERT_EQ(d.size(), 34 + 54 + image.size());
    EXPECT_EQ(std::vector<std::uint8_t>(d.begin() + 30, d.begin() + 36),
              (std::vector<std::uint8_t>{2, 0, 0, 0, 'B', 'M'}));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), d.begin() + 34 + 54));
    s.SetPosition(0);
    back.LoadFromStream(s, nullptr);
    EXPECT_TRUE(back.GetBitmap(1, 1)->Empty());
    EXPECT_EQ(back.GetBitmap(1, 2)->Canvas().Pixels(2, 1), fw::RGB(10, 20, 30));
    // A length before each image (the older form) is refused, so is an image whose
    // header claims more than remains.
    auto older = d;
    older.insert(older.begin() + 34, {54, 0, 0, 0});
    ExpectRefused(older);
    ++d[34 + 54 + 2];
    ExpectRefused(d);
}

TEST(MemoryCanvas, GrowsOnlyAndFreesWithTheLastUser) {
    TtsMemoryCanvas c;
    c.Acquire(100, 20);
    c.Acquire(50, 40);
    EXPECT_EQ(c.Width(), 100);
    EXPECT_EQ(c.Height(), 40);
    ASSERT_NE(c.DC(), nullptr);
    EXPECT_EQ(c.DC()->Width(), 100);
    c.Release();
    EXPECT_NE(c.DC(), nullptr);
    c.Release();
    EXPECT_EQ(c.DC(), nullptr);
    EXPECT_EQ(c.Width(), 0);
}

TEST(MemoryCanvas, NestedUseIsAnotherObjectOnTheSameThread) {
    TtsMemoryCanvas c;
    int gridA = 0;
    int gridB = 0;
    EXPECT_FALSE(c.IsNestedUse(&gridA));
    {
        TtsCanvasLock lock(c, &gridA);
        EXPECT_FALSE(c.IsNestedUse(&gridA));
        EXPECT_TRUE(c.IsNestedUse(&gridB));
    }
    EXPECT_FALSE(c.IsNestedUse(&gridB));
    // A nested lock gives the canvas back to the outer owner, still held.
    c.Lock(&gridA);
    c.Lock(&gridB);
    EXPECT_TRUE(c.IsNestedUse(&gridA));
    c.Unlock();
    EXPECT_TRUE(c.IsNestedUse(&gridB));
    EXPECT_FALSE(c.IsNestedUse(&gridA));
    c.Unlock();
    EXPECT_FALSE(c.IsNestedUse(&gridB));
    // Another thread waits for the lock.
    bool taken = false;
    c.Lock(&gridA);
    std::thread other([&] {
        TtsCanvasLock lock(c, &gridB);
        taken = true;
    });
    EXPECT_FALSE(c.IsNestedUse(&gridA));
    c.Unlock();
    other.join();
    EXPECT_TRUE(taken);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(StorageStream, MutatedStreamsLoadOrFailCleanly) {
    Tts2DStorage st(0, 0);
    st.SetValue(1, 1, tagText, TtsVariant(std::string("abc")));
    st.SetValue(3, 2, tagInteger, TtsVariant(std::int32_t{9}));
    auto* e = NewSharedBitmap();
    e->Bitmap->SetSize(2, 2);
    st.SetBitmap(2, 2, e->Bitmap);
    TMemoryStream s;
    st.SaveToStream(s);
    const auto bytes = s.Data();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        for (std::uint8_t x :
             {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
            auto d = bytes;
            d[i] = x;
            Tts2DStorage back(0, 0);
            TMemoryStream in(d);
            try {
                back.LoadFromStream(in, nullptr);
            } catch (const EReadError&) {
            }
        }
    }
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        Tts2DStorage back(0, 0);
        TMemoryStream in(std::vector<std::uint8_t>(bytes.begin(),
                                                   bytes.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_THROW(back.LoadFromStream(in, nullptr), EReadError) << "cut at " << n;
    }
}

TEST(Storage, DeletingColumnsReleasesBitmapsAndKeepsOtherRows) {
    auto* e = NewSharedBitmap();
    fw::TBitmap* b = e->Bitmap;
    Tts2DStorage st(0, 0);
    st.SetBitmap(2, 1, b);
    st.SetValue(1, 3, tagText, TtsVariant(std::string("short row")));
    st.DeleteCols(2, 2);
    EXPECT_EQ(FindSharedBitmap(b), nullptr);
    EXPECT_EQ(std::get<std::string>(st.GetValue(1, 3)), "short row");
    st.DeleteCols(0, 5); // columns start at 1
    EXPECT_EQ(st.ColCount(3), 1);
}

TEST(Storage, BufferingABitmapRowTakesItsOwnReference) {
    auto* e = NewSharedBitmap();
    fw::TBitmap* b = e->Bitmap;
    Tts2DStorage st(0, 0);
    st.SetBitmap(1, 4, b);
    st.BufferRow(4);
    EXPECT_EQ(FindSharedBitmap(b)->RefCount, 2);
    st.SetValue(1, 4, tagEmpty, TtsVariant());
    EXPECT_EQ(FindSharedBitmap(b)->RefCount, 1);
    st.RestoreRow(4);
    EXPECT_EQ(st.GetBitmap(1, 4), b);
    EXPECT_EQ(FindSharedBitmap(b)->RefCount, 1);
    EXPECT_EQ(st.ColCount(0), 0);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(StorageStream, ARefusedStreamLeavesTheValuesAsTheyWere) {
    Tts2DStorage st(0, 0);
    st.SetValue(1, 1, tagText, std::string("kept"));
    st.SetValue(2, 3, tagInteger, std::int32_t(9));
    // A good first row, then a row whose text runs past the end.
    TMemoryStream good;
    Tts2DStorage other(0, 0);
    other.SetValue(1, 1, tagText, std::string("new"));
    other.SetValue(1, 2, tagText, std::string("longer text"));
    other.SaveToStream(good);
    auto bytes = good.Data();
    bytes.resize(bytes.size() - 12);
    const std::vector<std::int32_t> map{2};
    for (const std::vector<std::int32_t>* m : {&map, static_cast<decltype(&map)>(nullptr)}) {
        TMemoryStream bad(bytes);
        EXPECT_THROW(st.LoadFromStream(bad, m), EReadError);
        EXPECT_EQ(std::get<std::string>(st.GetValue(1, 1)), "kept");
        EXPECT_EQ(std::get<std::int32_t>(st.GetValue(2, 3)), 9);
        EXPECT_EQ(st.LastUsedRow(), 3);
    }
}

TEST(StorageStream, ALoadedRowTakesExactlyItsStoredCells) {
    Tts2DStorage source(0, 0);
    for (int c = 1; c <= 37; ++c)
        source.SetValue(c, 1, tagInteger, std::int32_t(c));
    TMemoryStream s;
    source.SaveToStream(s);
    Tts2DStorage st(0, 0);
    s.SetPosition(0);
    st.LoadFromStream(s, nullptr);
    EXPECT_EQ(st.ColCount(1), 37);
    EXPECT_EQ(st.ColCapacity(1), 37);
    EXPECT_EQ(std::get<std::int32_t>(st.GetValue(37, 1)), 37);
    // Cells set one at a time keep the growth rule.
    st.SetValue(38, 1, tagInteger, std::int32_t(38));
    EXPECT_EQ(st.ColCapacity(1), 48);
}

} // namespace
} // namespace vel

#include "AllocationProbe.h"

namespace vel {
namespace {

// Whole stream records, word by word; a cell is its tag byte then its payload.
struct TRecords {
    TMemoryStream S;
    TRecords& Row(std::int32_t row, std::int32_t cells) {
        S.WriteI32(row);
        S.WriteI32(cells);
        return *this;
    }
    TRecords& Integer(std::int32_t v) {
        S.WriteU8(tagInteger);
        S.WriteI32(v);
        return *this;
    }
    TRecords& Tag(std::uint8_t tag) {
        S.WriteU8(tag);
        return *this;
    }
    TMemoryStream& End() {
        S.WriteI32(0); // no more rows
        S.WriteI32(0); // no bitmaps
        S.SetPosition(0);
        return S;
    }
};

// Loads and answers the largest single allocation made meanwhile (0 where the
// probe does not work); a refused stream is expected when `refused`.
std::size_t Load(Tts2DStorage& st, TMemoryStream& s, int maxRow, bool refused) {
    return fw::LargestAllocationDuring([&] {
        if (refused)
            EXPECT_THROW(st.LoadFromStream(s, nullptr, maxRow), EReadError);
        else
            st.LoadFromStream(s, nullptr, maxRow);
    });
}

constexpr std::size_t Small = std::size_t{1} << 16;

TEST(StorageStreamLimits, AFarRowOfARefusedStreamCostsNothing) {
    // Found by fuzzing in a saved layout's values: a row, then row 2^20 with no cells,
    // then a row out of order. The far row used to size a million-row table first.
    for (int maxRow : {Tts2DStorage::MaxStoredRow, 4}) {
        Tts2DStorage st(0, 0);
        st.SetValue(1, 3, tagInteger, std::int32_t{9});
        TRecords r;
        r.Row(1, 1).Integer(5).Row(Tts2DStorage::MaxStoredRow, 0).Row(103, 0);
        EXPECT_LT(Load(st, r.End(), maxRow, true), Small);
        EXPECT_EQ(st.RowSlots(), 13);
        EXPECT_EQ(std::get<std::int32_t>(st.GetValue(1, 3)), 9);
        EXPECT_EQ(st.GetTag(1, 1), tagEmpty);
    }
    Tts2DStorage st(0, 0);
    TRecords past;
    EXPECT_THROW(st.LoadFromStream(past.Row(Tts2DStorage::MaxStoredRow + 1, 0).End(), nullptr),
                 EReadError);
}

TEST(StorageStreamLimits, RowsBeyondTheGridAreReadAndDropped) {
    // Found by fuzzing: one value at row 327,681 made a 327,691-row table that every
    // later save, copy and clear walked.
    auto stream = [](TRecords& r) -> TMemoryStream& {
        return r.Row(2, 2).Tag(tagNull).Integer(5).Row(327681, 1).Integer(7).Row(327682, 1)
            .Tag(tagNull).End();
    };
    Tts2DStorage grid(0, 0);
    TRecords a;
    EXPECT_LT(Load(grid, stream(a), 100, false), Small);
    EXPECT_EQ(std::get<std::int32_t>(grid.GetValue(2, 2)), 5);
    EXPECT_EQ(grid.GetTag(1, 327681), tagEmpty);
    EXPECT_EQ(grid.RowSlots(), 12);
    EXPECT_EQ(grid.LastUsedRow(), 2);
    // A storage of no grid holds any row up to its limit: that row is data.
    Tts2DStorage bare(0, 0);
    TRecords b;
    bare.LoadFromStream(stream(b), nullptr);
    EXPECT_EQ(std::get<std::int32_t>(bare.GetValue(1, 327681)), 7);
    EXPECT_EQ(bare.RowSlots(), 327691);
    // With a column map too.
    Tts2DStorage mapped(0, 0);
    mapped.SetValue(4, 5, tagInteger, std::int32_t{1});
    const std::vector<std::int32_t> map{0, 4};
    TRecords c;
    TMemoryStream& s = stream(c);
    EXPECT_LT(fw::LargestAllocationDuring([&] { mapped.LoadFromStream(s, &map, 100); }), Small);
    EXPECT_EQ(std::get<std::int32_t>(mapped.GetValue(4, 2)), 5);
    EXPECT_EQ(mapped.GetTag(4, 5), tagEmpty); // a mapped column is cleared first
    EXPECT_EQ(mapped.RowSlots(), 15);
}

TEST(StorageStreamLimits, ARowWithoutValuesAddsNoRow) {
    // Only stored values make rows, as setting them one by one would.
    Tts2DStorage st(0, 0);
    TRecords r;
    r.Row(7, 2).Tag(tagNull).Tag(tagEmpty).Row(9, 0);
    st.LoadFromStream(r.End(), nullptr, 100);
    EXPECT_EQ(st.RowSlots(), 0);
    EXPECT_EQ(st.LastUsedRow(), 0);
}

} // namespace
} // namespace vel
