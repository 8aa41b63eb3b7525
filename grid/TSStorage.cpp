#include "TSStorage.h"

#include "ScopeExit.h"
#include "TSShared.h"

#include <algorithm>
#include <map>

namespace vel {

namespace {

// Row tables and cell arrays hold at most this many entries.
constexpr std::size_t MaxSlots = static_cast<std::size_t>(INT32_MAX);

// Every cell joins the shared set, so that its reference is counted even for
// a bitmap the caller made itself (such a bitmap is not freed by the set).
void AddBitmapRef(fw::TBitmap* b) {
    if (!b) return;
    ++FindOrAddBitmap(EnsureSharedBitmaps(), b)->RefCount;
}

fw::TBitmap* BitmapOf(const TtsVariant& v) {
    if (auto* o = std::get_if<fw::TObject*>(&v)) return dynamic_cast<fw::TBitmap*>(*o);
    return nullptr;
}

// The bitmap table holds BMP images one after another, each as long as its file header
// says; the smallest is its two headers alone, an empty picture's image (0 by 0).
constexpr std::uint32_t BmpFileHeaderSize = 14;
constexpr std::uint32_t BmpHeadersSize = BmpFileHeaderSize + 40;
constexpr std::size_t BmpWidthAt = 18, BmpHeightAt = 22;

void WriteEmptyBmp(TStream& s) {
    s.WriteU8('B');
    s.WriteU8('M');
    s.WriteU32(BmpHeadersSize); // the file's size
    s.WriteU32(0);
    s.WriteU32(BmpHeadersSize); // where its (no) pixels start
    s.WriteU32(BmpHeadersSize - BmpFileHeaderSize);
    s.WriteI32(0); // width
    s.WriteI32(0); // height
    s.WriteU16(1); // planes
    s.WriteU16(32);
    for (int i = 0; i < 6; ++i) // no compression, sizes, resolutions and colours
        s.WriteU32(0);
}

std::uint32_t U32At(const std::vector<std::uint8_t>& d, std::size_t at) {
    return d[at] | std::uint32_t{d[at + 1]} << 8 | std::uint32_t{d[at + 2]} << 16 |
           std::uint32_t{d[at + 3]} << 24;
}

// One image, its length taken from its own header and checked against what remains.
std::vector<std::uint8_t> ReadBmpImage(TStream& s) {
    std::vector<std::uint8_t> image(6); // "BM" and the file's size
    s.ReadBuffer(image.data(), image.size());
    if (image[0] != 'B' || image[1] != 'M') throw EReadError("Stored bitmap is not a BMP image");
    const std::uint32_t size = U32At(image, 2);
    if (size < BmpHeadersSize || size - image.size() > static_cast<std::uint64_t>(s.Remaining()))
        throw EReadError("Stored BMP image length out of range");
    const auto rest = s.ReadBlock(size - image.size());
    image.insert(image.end(), rest.begin(), rest.end());
    return image;
}

} // namespace

Tts2DStorage::Tts2DStorage(int colGrowMin, int rowGrowMin)
    : FColGrowMin(std::max(0, colGrowMin)), FRowGrowMin(std::max(0, rowGrowMin)) {}

Tts2DStorage::~Tts2DStorage() {
    for (int r = 0; r < RowSlots(); ++r)
        ClearRow(r, true);
}

int Tts2DStorage::ColCount(int row) const {
    return row >= 0 && row < RowSlots() ? static_cast<int>(FRows[row].Cells.size()) : 0;
}

int Tts2DStorage::ColCapacity(int row) const {
    return row >= 0 && row < RowSlots() ? static_cast<int>(FRows[row].Cells.capacity()) : 0;
}

void Tts2DStorage::ClearCell(TCell& c) {
    if ((c.Tag == tagText || c.Tag == tagText2) && c.Text()) delete c.Text();
    if (c.Tag == tagBitmap && c.Bitmap() && SharedBitmaps())
        ReleaseBitmap(*SharedBitmaps(), c.Bitmap());
    c = TCell{};
}

void Tts2DStorage::ClearRow(int row, bool shrink) {
    if (row < 0 || row >= RowSlots()) return;
    for (auto& c : FRows[row].Cells)
        ClearCell(c);
    if (shrink) {
        FRows[row].Cells.clear();
        FRows[row].Cells.shrink_to_fit();
        FRows[row].Exists = false;
    }
}

void Tts2DStorage::GrowRows(int row) {
    if (row < RowSlots()) return;
    const std::size_t slots = row < FRowGrowMin + 1 ? static_cast<std::size_t>(FRowGrowMin) + 1
                                                    : static_cast<std::size_t>(row) + 10;
    FRows.resize(std::min(slots, MaxSlots));
}

Tts2DStorage::TCell* Tts2DStorage::CellFor(int column, int row) {
    GrowRows(row);
    TRow& r = FRows[row];
    r.Exists = true;
    if (static_cast<int>(r.Cells.size()) < column) {
        if (static_cast<int>(r.Cells.capacity()) < column)
            r.Cells.reserve(std::min(column < FColGrowMin ? static_cast<std::size_t>(FColGrowMin)
                                                          : static_cast<std::size_t>(column) + 10,
                                     MaxSlots));
        r.Cells.resize(static_cast<std::size_t>(column));
    }
    return &r.Cells[static_cast<std::size_t>(column - 1)];
}

TtsVariant Tts2DStorage::GetValue(int column, int row) const {
    if (column < 1 || row < 0 || row >= RowSlots() || column > ColCount(row)) return {};
    const TCell& c = FRows[row].Cells[static_cast<std::size_t>(column - 1)];
    switch (c.Tag) {
    case tagText:
    case tagText2:
        return TtsVariant(c.Text() ? *c.Text() : std::string());
    case tagInteger:
        return TtsVariant(c.Int);
    case tagBitmap:
        return TtsVariant(static_cast<fw::TObject*>(c.Bitmap()));
    case tagNull:
        return TtsVariant(TtsNull{});
    default:
        return {};
    }
}

std::uint8_t Tts2DStorage::GetTag(int column, int row) const {
    if (column < 1 || row < 0 || row >= RowSlots() || column > ColCount(row)) return tagEmpty;
    return FRows[row].Cells[static_cast<std::size_t>(column - 1)].Tag;
}

fw::TBitmap* Tts2DStorage::GetBitmap(int column, int row) const {
    if (GetTag(column, row) != tagBitmap) return nullptr;
    return FRows[row].Cells[static_cast<std::size_t>(column - 1)].Bitmap();
}

void Tts2DStorage::SetBitmap(int column, int row, fw::TBitmap* bitmap) {
    SetValue(column, row, tagBitmap, TtsVariant(static_cast<fw::TObject*>(bitmap)));
}

void Tts2DStorage::SetValue(int column, int row, std::uint8_t tag, const TtsVariant& value) {
    // The last 32-bit index is no place: a table's size stays an int.
    if (column < 1 || row < 0 || column == INT32_MAX || row > MaxStoredRow) return;
    PutCell(column, row, tag, value, BitmapOf(value));
}

void Tts2DStorage::PutCell(int column, int row, std::uint8_t tag, const TtsVariant& value,
                           fw::TBitmap* bitmap) {
    const bool empty = VarIsEmpty(value) && !bitmap;
    if (empty && GetTag(column, row) == tagEmpty) return;
    TCell& c = *CellFor(column, row);
    if (empty || tag == tagEmpty) {
        ClearCell(c);
        return;
    }
    switch (tag) {
    case tagText:
    case tagText2:
        if (c.Tag == tagInteger || c.Tag == tagBitmap || c.Tag == tagNull) ClearCell(c);
        if (c.Text())
            *c.Text() = VarToText(value);
        else
            c.Object = new std::string(VarToText(value));
        break;
    case tagInteger:
        if (c.Tag != tagEmpty && c.Tag != tagInteger) ClearCell(c);
        c.Int = VarAsInteger(value);
        break;
    case tagBitmap:
        if (c.Tag != tagEmpty && c.Tag != tagBitmap) ClearCell(c);
        if (c.Bitmap() == bitmap) return;
        if (c.Bitmap()) ClearCell(c);
        if (!bitmap) return;
        c.Object = bitmap;
        AddBitmapRef(bitmap);
        break;
    case tagNull:
        ClearCell(c);
        break;
    default:
        ClearCell(c);
        return; // an unknown tag leaves an empty cell
    }
    c.Tag = tag;
}

void Tts2DStorage::CopyRow(int from, int to) {
    if (to < 0 || to >= RowSlots() || from == to) return;
    const int n = ColCount(from);
    if (n == 0) {
        ClearRow(to, true);
        return;
    }
    for (int col = n; col >= 1; --col) {
        const std::uint8_t tag = GetTag(col, from);
        if (tag == tagBitmap)
            PutCell(col, to, tag, GetValue(col, from), GetBitmap(col, from));
        else if (tag == tagEmpty)
            PutCell(col, to, tagEmpty, TtsVariant(), nullptr);
        else
            PutCell(col, to, tag, tag == tagNull ? TtsVariant(TtsNull{}) : GetValue(col, from),
                    nullptr);
    }
    for (int col = n + 1; col <= ColCount(to); ++col)
        ClearCell(FRows[to].Cells[static_cast<std::size_t>(col - 1)]);
}

void Tts2DStorage::BufferRow(int row) {
    if (row < 1) return;
    if (RowSlots() == 0) GrowRows(0);
    CopyRow(row, 0);
}

void Tts2DStorage::RestoreRow(int row) {
    if (row < 1) return;
    CopyRow(0, row);
    ClearBuffer();
}

void Tts2DStorage::ClearBuffer() {
    ClearRow(0, true);
}

void Tts2DStorage::DeleteCols(int first, int last) {
    if (first < 1 || last < first) return;
    for (int r = 0; r < RowSlots(); ++r) {
        auto& cells = FRows[r].Cells;
        const int count = static_cast<int>(cells.size());
        if (count < first) continue;
        const int stop = std::min(last, count);
        for (int c = first; c <= stop; ++c)
            ClearCell(cells[static_cast<std::size_t>(c - 1)]);
        cells.erase(cells.begin() + (first - 1), cells.begin() + stop);
        if (cells.empty() || cells.capacity() - cells.size() >= 8) cells.shrink_to_fit();
    }
}

void Tts2DStorage::DeleteRows(int first, int last) {
    if (first > last || first < 0 || first >= RowSlots()) return;
    last = std::min(last, RowSlots() - 1);
    for (int r = last; r >= first; --r)
        ClearRow(r, true);
    FRows.erase(FRows.begin() + first, FRows.begin() + last + 1);
}

int Tts2DStorage::LastUsedRow() const {
    for (int r = RowSlots() - 1; r >= 1; --r)
        if (FRows[r].Exists) return r;
    return 0;
}

int Tts2DStorage::LastNonEmptyCol(int row) const {
    for (int c = ColCount(row); c >= 1; --c)
        if (GetTag(c, row) != tagEmpty) return c;
    return 0;
}

void Tts2DStorage::Assign(const Tts2DStorage* source) {
    if (!source || source == this) return;
    Flag = source->Flag;
    const int last = source->LastUsedRow();
    if (last == 0) {
        for (int r = 0; r < RowSlots(); ++r)
            ClearRow(r, true);
        FRows.clear();
        return;
    }
    for (int r = last + 1; r < RowSlots(); ++r)
        ClearRow(r, true);
    FRows.resize(static_cast<std::size_t>(std::max(FRowGrowMin + 1, last + 1)));
    for (int r = 1; r <= last; ++r) {
        ClearRow(r, true);
        const int n = source->LastNonEmptyCol(r);
        if (n == 0) continue;
        FRows[r].Cells.reserve(static_cast<std::size_t>(std::max(n, FColGrowMin)));
        for (int c = 1; c <= n; ++c) {
            const std::uint8_t tag = source->GetTag(c, r);
            if (tag != tagEmpty)
                PutCell(c, r, tag, source->GetValue(c, r), source->GetBitmap(c, r));
        }
    }
}

// --- Stream form ---------------------------------------------------------------------------------

void Tts2DStorage::SaveToStream(TStream& s) const {
    std::map<const fw::TBitmap*, int> numbers;
    std::vector<const fw::TBitmap*> table;
    const int last = LastUsedRow();
    for (int r = 1; r <= last; ++r) {
        const int n = LastNonEmptyCol(r);
        if (n < 1) continue;
        s.WriteI32(r);
        s.WriteI32(n);
        for (int c = 1; c <= n; ++c) {
            const TCell& cell = FRows[r].Cells[static_cast<std::size_t>(c - 1)];
            s.WriteU8(cell.Tag);
            switch (cell.Tag) {
            case tagText:
            case tagText2:
                s.WriteText(cell.Text() ? *cell.Text() : std::string());
                break;
            case tagInteger:
                s.WriteI32(cell.Int);
                break;
            case tagBitmap: {
                auto [it, fresh] =
                    numbers.emplace(cell.Bitmap(), static_cast<int>(table.size()) + 1);
                if (fresh) table.push_back(cell.Bitmap());
                s.WriteI32(it->second);
                break;
            }
            default:
                break;
            }
        }
    }
    s.WriteI32(0);
    s.WriteI32(static_cast<std::int32_t>(table.size()));
    for (const fw::TBitmap* b : table) {
        if (b->Empty()) {
            WriteEmptyBmp(s);
            continue;
        }
        const auto bytes = b->SaveToBmp();
        s.WriteBuffer(bytes.data(), bytes.size());
    }
}

// --- Reading -------------------------------------------------------------------------------------

// What a stream holds, read before any of it joins the table: each kept row in the
// table's own layout (cells at their stored columns), so a stream the table takes
// costs one allocation per row and no copy of its cells. It grows with the records
// read, never with a stored row number, so a refused stream costs what it holds and
// leaves the table as it was.
struct Tts2DStorage::TStoredRows {
    std::vector<std::pair<int, TRow>> Rows;
    // Loaded bitmaps by number; each new one is owned by the shared set and held by one
    // reference here until the cells have taken theirs.
    std::vector<fw::TBitmap*> Loaded;

    TStoredRows() = default;
    TStoredRows(const TStoredRows&) = delete;
    TStoredRows& operator=(const TStoredRows&) = delete;
    // Texts of rows the table did not take; bitmaps are the holder's.
    ~TStoredRows() {
        for (auto& [row, r] : Rows)
            for (TCell& c : r.Cells)
                if (c.Tag == tagText || c.Tag == tagText2) delete c.Text();
    }

    // Rows past maxRow are read and dropped, rows past mostRow refused.
    void Read(TStream& s, int maxRow, int mostRow);

private:
    // Row 0 reads the record and keeps nothing.
    void ReadRow(TStream& s, int row, int count);
    fw::TBitmap* ReadBitmapNumber(TStream& s);
    void ReadImages(TStream& s);
};

void Tts2DStorage::TStoredRows::Read(TStream& s, int maxRow, int mostRow) {
    int lastRow = 0;
    for (;;) {
        const std::int32_t row = s.ReadI32();
        if (row == 0) break;
        if (row < 1 || row <= lastRow || row > mostRow)
            throw EReadError("Stored row number out of range");
        lastRow = row;
        const std::int32_t n = s.ReadI32();
        // Every cell takes at least its tag byte, and the end mark and the bitmap count follow.
        if (n < 0 || n > s.Remaining() - 8)
            throw EReadError("Stored cell count out of range");
        ReadRow(s, row <= maxRow ? row : 0, n);
    }
    ReadImages(s);
}

void Tts2DStorage::TStoredRows::ReadRow(TStream& s, int row, int n) {
    // The row joins the list first, so the texts it takes are freed if a later read throws.
    std::vector<TCell>* cells = nullptr;
    if (row >= 1) {
        Rows.emplace_back(row, TRow{true, {}});
        cells = &Rows.back().second.Cells;
        cells->reserve(static_cast<std::size_t>(n)); // n is backed by the bytes that remain
    }
    for (int c = 1; c <= n; ++c) {
        TCell cell;
        cell.Tag = s.ReadU8();
        switch (cell.Tag) {
        case tagText:
        case tagText2: {
            std::string text = s.ReadText();
            if (cells) cell.Object = new std::string(std::move(text));
            break;
        }
        case tagInteger:
            cell.Int = s.ReadI32();
            break;
        case tagBitmap:
            cell.Object = ReadBitmapNumber(s);
            break;
        case tagEmpty:
        case tagNull:
            cell.Tag = tagEmpty; // a null cell comes back empty
            break;
        default:
            throw EReadError("Unknown stored cell type");
        }
        if (cells) cells->push_back(cell);
    }
    if (!cells) return;
    while (!cells->empty() && cells->back().Tag == tagEmpty)
        cells->pop_back();
    if (cells->empty())
        Rows.pop_back(); // only stored values make rows
    else if (cells->size() < cells->capacity())
        cells->shrink_to_fit(); // a row's slots are its last stored value's column
}

fw::TBitmap* Tts2DStorage::TStoredRows::ReadBitmapNumber(TStream& s) {
    const std::int32_t k = s.ReadI32();
    // Every image needs at least its headers.
    if (k < 1 || k > s.Remaining() / BmpHeadersSize)
        throw EReadError("Stored bitmap number out of range");
    if (static_cast<int>(Loaded.size()) < k) Loaded.resize(static_cast<std::size_t>(k), nullptr);
    fw::TBitmap*& b = Loaded[static_cast<std::size_t>(k - 1)];
    if (!b) {
        TtsBitmapElement* e = NewSharedBitmap();
        ++e->RefCount;
        b = e->Bitmap;
    }
    return b;
}

void Tts2DStorage::TStoredRows::ReadImages(TStream& s) {
    const std::int32_t count = s.ReadI32();
    if (count < 0 || count > s.Remaining() / BmpHeadersSize)
        throw EReadError("Stored bitmap count out of range");
    for (int k = 1; k <= count; ++k) {
        const auto bytes = ReadBmpImage(s);
        fw::TBitmap* b = k <= static_cast<int>(Loaded.size()) ? Loaded[k - 1] : nullptr;
        if (!b) continue; // nobody refers to it
        if (U32At(bytes, BmpWidthAt) == 0 || U32At(bytes, BmpHeightAt) == 0)
            continue; // an empty picture
        try {
            b->LoadFromBytes(bytes);
        } catch (const fw::EInvalidGraphic& e) {
            throw EReadError(std::string("Stored bitmap unreadable: ") + e.what());
        }
    }
}

void Tts2DStorage::LoadFromStream(TStream& s, const std::vector<std::int32_t>* map) {
    Load(s, map, MaxStoredRow, MaxStoredRow);
}

void Tts2DStorage::LoadFromStream(TStream& s, const std::vector<std::int32_t>* map, int maxRow) {
    Load(s, map, maxRow, INT32_MAX);
}

void Tts2DStorage::Load(TStream& s, const std::vector<std::int32_t>* map, int maxRow,
                        int mostRow) {
    TStoredRows read;
    fw::TScopeExit holder([&read] {
        if (!SharedBitmaps()) return;
        for (fw::TBitmap* b : read.Loaded)
            if (b) ReleaseBitmap(*SharedBitmaps(), b);
    });
    read.Read(s, maxRow, mostRow);
    TakeRows(read, map);
}

void Tts2DStorage::ClearMappedCols(const std::vector<std::int32_t>& map) {
    std::vector<int> cols;
    for (std::int32_t c : map)
        if (c >= 1) cols.push_back(c);
    std::sort(cols.begin(), cols.end());
    cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
    for (int r = 1; r < RowSlots(); ++r) {
        auto& cells = FRows[r].Cells;
        for (int c : cols) {
            if (c > static_cast<int>(cells.size())) break;
            ClearCell(cells[static_cast<std::size_t>(c - 1)]);
        }
    }
}

void Tts2DStorage::TakeRows(TStoredRows& read, const std::vector<std::int32_t>* map) {
    if (map) {
        ClearMappedCols(*map);
    } else {
        for (int r = 0; r < RowSlots(); ++r)
            ClearRow(r, true);
        FRows.clear();
        FRows.shrink_to_fit();
        if (!read.Rows.empty()) GrowRows(read.Rows.back().first);
    }
    for (auto& [row, from] : read.Rows) {
        if (!map) {
            TakeFreshRow(row, from);
            continue;
        }
        for (std::size_t k = 0; k < from.Cells.size(); ++k) {
            const TCell& c = from.Cells[k];
            const int col = k < map->size() ? (*map)[k] : static_cast<int>(k) + 1;
            if (c.Tag == tagEmpty || col < 1) continue;
            if (c.Tag == tagInteger)
                PutCell(col, row, c.Tag, TtsVariant(c.Int), nullptr);
            else if (c.Tag == tagBitmap)
                PutCell(col, row, c.Tag, TtsVariant(), c.Bitmap());
            else
                PutCell(col, row, c.Tag, TtsVariant(*c.Text()), nullptr);
        }
    }
}

void Tts2DStorage::TakeFreshRow(int row, TRow& from) {
    for (const TCell& c : from.Cells)
        if (c.Tag == tagBitmap) AddBitmapRef(c.Bitmap());
    FRows[static_cast<std::size_t>(row)] = std::move(from);
    from.Cells.clear(); // its texts are the table's now
}

} // namespace vel
