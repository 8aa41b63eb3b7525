#include "TSStorage.h"

#include "ScopeExit.h"
#include "TSShared.h"

#include <algorithm>
#include <map>

namespace vel {

namespace {

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
    const int slots = row < FRowGrowMin + 1 ? FRowGrowMin + 1 : row + 10;
    FRows.resize(static_cast<std::size_t>(slots));
}

Tts2DStorage::TCell* Tts2DStorage::CellFor(int column, int row) {
    GrowRows(row);
    TRow& r = FRows[row];
    r.Exists = true;
    if (static_cast<int>(r.Cells.size()) < column) {
        if (static_cast<int>(r.Cells.capacity()) < column)
            r.Cells.reserve(
                static_cast<std::size_t>(column < FColGrowMin ? FColGrowMin : column + 10));
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
    if (column < 1 || column > MaxStoredCol || row < 0 || row > MaxStoredRow) return;
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
        const auto bytes = b->Empty() ? std::vector<std::uint8_t>() : b->SaveToBmp();
        s.WriteI32(static_cast<std::int32_t>(bytes.size()));
        s.WriteBuffer(bytes.data(), bytes.size());
    }
}

void Tts2DStorage::LoadFromStream(TStream& s, const std::vector<std::int32_t>* map) {
    // Read into a fresh storage and take its rows only after a full read: a refused
    // stream leaves the values as they were.
    Tts2DStorage fresh(FColGrowMin, FRowGrowMin);
    if (map) {
        fresh.Assign(this);
        fresh.Flag = Flag;
        for (std::int32_t col : *map) {
            if (col <= 0) continue;
            for (int r = 1; r < fresh.RowSlots(); ++r)
                if (col <= fresh.ColCount(r))
                    fresh.PutCell(col, r, tagEmpty, TtsVariant(), nullptr);
        }
    }
    fresh.ReadRecords(s, map);
    std::swap(FRows, fresh.FRows);
}

fw::TBitmap* Tts2DStorage::LoadedBitmap(TStream& s, std::vector<fw::TBitmap*>& loaded) {
    const std::int32_t k = s.ReadI32();
    // Every image needs at least its 4-byte length.
    if (k < 1 || k > s.Remaining() / 4) throw EReadError("Stored bitmap number out of range");
    if (static_cast<int>(loaded.size()) < k) loaded.resize(static_cast<std::size_t>(k), nullptr);
    fw::TBitmap*& b = loaded[static_cast<std::size_t>(k - 1)];
    if (!b) {
        TtsBitmapElement* e = NewSharedBitmap();
        ++e->RefCount;
        b = e->Bitmap;
    }
    return b;
}

void Tts2DStorage::ReadFreshRow(TStream& s, int row, int n, std::vector<fw::TBitmap*>& loaded) {
    GrowRows(row);
    TRow& r = FRows[row];
    r.Exists = true;
    r.Cells.resize(static_cast<std::size_t>(n));
    for (TCell& c : r.Cells) {
        const std::uint8_t tag = s.ReadU8();
        switch (tag) {
        case tagText:
        case tagText2:
            c.Object = new std::string(s.ReadText());
            break;
        case tagInteger:
            c.Int = s.ReadI32();
            break;
        case tagBitmap:
            c.Object = LoadedBitmap(s, loaded);
            AddBitmapRef(c.Bitmap());
            break;
        case tagEmpty:
        case tagNull:
            continue; // a null cell comes back empty
        default:
            throw EReadError("Unknown stored cell type");
        }
        c.Tag = tag;
    }
}

void Tts2DStorage::ReadRecords(TStream& s, const std::vector<std::int32_t>* map) {
    auto dataCol = [&](int stored) {
        if (map && stored - 1 < static_cast<int>(map->size())) return (*map)[stored - 1];
        return stored;
    };
    // Loaded bitmaps by number; each new one is owned by the shared set and held by one
    // reference here until the table has been read.
    std::vector<fw::TBitmap*> loaded;
    fw::TScopeExit holder([&loaded] {
        if (!SharedBitmaps()) return;
        for (fw::TBitmap* b : loaded)
            if (b) ReleaseBitmap(*SharedBitmaps(), b);
    });
    int lastRow = 0;
    for (;;) {
        const std::int32_t row = s.ReadI32();
        if (row == 0) break;
        if (row < 1 || row > MaxStoredRow || row <= lastRow)
            throw EReadError("Stored row number out of range");
        lastRow = row;
        const std::int32_t n = s.ReadI32();
        // Every cell takes at least its tag byte.
        if (n < 0 || n > MaxStoredCol || n > s.Remaining())
            throw EReadError("Stored cell count out of range");
        if (!map && ColCount(row) == 0) {
            ReadFreshRow(s, row, n, loaded);
            continue;
        }
        for (int c = 1; c <= n; ++c) {
            const std::uint8_t tag = s.ReadU8();
            const int col = dataCol(c);
            const bool keep = col >= 1 && col <= MaxStoredCol;
            switch (tag) {
            case tagText:
            case tagText2: {
                std::string text = s.ReadText();
                if (keep) PutCell(col, row, tag, TtsVariant(std::move(text)), nullptr);
                break;
            }
            case tagInteger: {
                const std::int32_t v = s.ReadI32();
                if (keep) PutCell(col, row, tag, TtsVariant(v), nullptr);
                break;
            }
            case tagBitmap: {
                fw::TBitmap* b = LoadedBitmap(s, loaded);
                if (keep) PutCell(col, row, tag, TtsVariant(), b);
                break;
            }
            case tagEmpty:
            case tagNull:
                break;
            default:
                throw EReadError("Unknown stored cell type");
            }
        }
    }
    const std::int32_t count = s.ReadI32();
    if (count < 0 || count > s.Remaining() / 4)
        throw EReadError("Stored bitmap count out of range");
    for (int k = 1; k <= count; ++k) {
        const std::int32_t size = s.ReadI32();
        if (size < 0 || size > s.Remaining()) throw EReadError("Stored bitmap size out of range");
        const auto bytes = s.ReadBlock(static_cast<std::size_t>(size));
        fw::TBitmap* b = k <= static_cast<int>(loaded.size()) ? loaded[k - 1] : nullptr;
        if (!b || bytes.empty()) continue; // nobody refers to it
        try {
            b->LoadFromBytes(bytes);
        } catch (const fw::EInvalidGraphic& e) {
            throw EReadError(std::string("Stored bitmap unreadable: ") + e.what());
        }
    }
}

} // namespace vel
