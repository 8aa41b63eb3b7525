// Saved grid layouts read into a grid model (every part, every load mode, with
// the grid's data) and into a grid (its own record, combo lists, fonts). A
// refused layout is an EReadError and leaves the data half as it was, and a
// grid whose display order, counts and stores still agree; what the grid then
// saves loads into a fresh grid that saves the same bytes.
//
// The replay reads every input with all three readers; under libFuzzer each
// input but the seeds goes to one, chosen by its bytes. A few bytes may name
// millions of lines, which the readers accept, and every line named costs each
// reader time: what the target checks line by line, and its save and reload,
// cost what the input holds (LineBudget), and a layout naming more lines than
// that goes to one reader in the replay too. Under libFuzzer an input naming
// more lines than it could describe (FuzzLineCap) is left out, so that fuzzing
// spends its time on what the readers parse rather than on default lines.
#include "FuzzTarget.h"
#include "Grids_ts.h"
#include "Messages.h"
#include "TSCombo.h"
#include "TSGridStream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

// Set by libFuzzer's initialisation; the replay leaves it off.
bool Fuzzing = false;

// The lines worth walking for an input of `size` bytes.
int LineBudget(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(4096 + 8 * size, 1 << 24));
}

// The most lines a fuzzed input may name: a line off its defaults takes a dozen
// bytes or more of the stream, so lines past this many are all default ones.
int FuzzLineCap(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(64 + size / 8, 1 << 24));
}

// The most lines a stored "Cols" or "Rows" integer of the input names in any record,
// of the counts the readers take (they refuse a larger one at once). memmem, since a
// search compiled here would be traced compare by compare under libFuzzer.
int NamedLines(const std::vector<std::uint8_t>& bytes) {
    int most = 0;
    if (bytes.empty()) return most;
    const auto* end = bytes.data() + bytes.size();
    for (const auto& [key, limit] :
         {std::pair{std::string_view("\004Cols\001"), vel::MaxGridCols},
          std::pair{std::string_view("\004Rows\001"), vel::MaxGridRows}}) {
        for (const auto* at = bytes.data();; ++at) {
            at = static_cast<const std::uint8_t*>(
                memmem(at, static_cast<std::size_t>(end - at), key.data(), key.size()));
            if (!at || end - at < static_cast<std::ptrdiff_t>(key.size() + 4)) break;
            std::int32_t n = 0;
            std::memcpy(&n, at + key.size(), sizeof n);
            if (n <= limit) most = std::max(most, n);
        }
    }
    return most;
}

bool IsSeed(const std::vector<std::uint8_t>& bytes) {
    static const std::vector<std::vector<std::uint8_t>> seeds = FuzzSeeds();
    return std::find(seeds.begin(), seeds.end(), bytes) != seeds.end();
}

// Display positions 0..count, or as many as the budget allows from each end.
template <class F> void ForEachPosition(int count, int budget, F f) {
    const int head = std::min(count, budget / 2);
    for (int d = 0; d <= head; ++d)
        f(d);
    for (int d = std::max(head + 1, count - budget / 2); d <= count; ++d)
        f(d);
}

// The display order maps both ways and every store has the grid's counts.
void CheckConsistent(vel::TtsGridModel& g, int budget) {
    ForEachPosition(g.Cols(), budget,
                    [&](int d) { FuzzCheck(g.DisplayColOf(g.DataColAt(d)) == d, "column order"); });
    ForEachPosition(g.Rows(), budget,
                    [&](int d) { FuzzCheck(g.DisplayRowOf(g.DataRowAt(d)) == d, "row order"); });
    FuzzCheck(g.ColStore().Count() == g.Cols() + 1, "column store");
    FuzzCheck(g.RowStore().Count() == g.Rows() + 1, "row store");
    FuzzCheck(g.RowSelection.Size() == g.Rows() + 1, "row selection");
    // Whatever the stream says, the grid's values take no more rows than the grid.
    FuzzCheck(!g.StoreData() || g.Storage()->RowSlots() <= g.Rows() + 10, "value rows");
    for (vel::TtsSetElement* e : g.CellProps().Elements()) {
        const auto& k = static_cast<vel::TtsCellElement*>(e)->Key;
        FuzzCheck(k.Col >= 0 && k.Col <= g.Cols() && k.Row >= 0 && k.Row <= g.Rows(), "cell");
    }
}

// The whole layout with values: a refused load must leave it byte for byte.
std::vector<std::uint8_t> Snapshot(vel::TtsGridModel& g) {
    vel::TMemoryStream s;
    vel::SaveLayout(g, s, vel::pkGrid | vel::pkCols | vel::pkRows | vel::pkCells, true,
                    vel::AllKinds);
    return s.Data();
}

// What a grid saves, a fresh grid loads and saves again to the same bytes.
void CheckResave(vel::TtsGridModel& g) {
    const std::vector<std::uint8_t> saved = Snapshot(g);
    vel::TtsGridModel fresh("Grid1", 0, 0);
    vel::TMemoryStream in(saved);
    try {
        vel::LoadLayout(fresh, in, 1);
    } catch (const std::exception&) {
        FuzzCheck(false, "a saved layout loads back");
    }
    FuzzCheck(Snapshot(fresh) == saved, "a saved layout loads back to the same bytes");
}

void Fill(vel::TtsGridModel& g) {
    g.SetStoreData(true);
    g.Col(1)->SetFieldName("Name");
    g.Col(2)->SetFieldName("Frame");
    g.Storage()->SetValue(1, 1, vel::tagText, std::string("a"));
}

// Every input starts from the same columns, rows and values. The values and
// the lines past the kept ones go first, so that only the kept lines are reset.
void Restore(vel::TtsGrid& g) {
    g.Model().SetStoreData(false);
    g.SetCols(3);
    g.SetRows(4);
    g.ResetAllProperties();
    Fill(g.Model());
}

// One grid for every input (making a window control per input would slow the
// replay down), put back after each, with the lines it let go freed: an input
// frees what it made, or libFuzzer runs it again to look for a leak.
std::unique_ptr<vel::TtsGrid> NewGrid() {
    auto g = std::make_unique<vel::TtsGrid>(nullptr);
    g->SetColBinding(vel::bmFieldName);
    Restore(*g);
    return g;
}

std::unique_ptr<vel::TtsGrid>& SharedGrid() {
    static auto* grid = new std::unique_ptr<vel::TtsGrid>(NewGrid());
    return *grid;
}

void LoadIntoGrid(const std::vector<std::uint8_t>& bytes) {
    vel::TtsGrid& g = *SharedGrid();
    vel::TMemoryStream in(bytes);
    try {
        g.LoadLayout(in, 1);
    } catch (const vel::EReadError&) {
    } catch (const vel::EInvalidGridOperation&) {
    }
    CheckConsistent(g.Model(), LineBudget(bytes.size()));
    FuzzCheck(g.ColCount() == g.Cols() + 1 && g.RowCount() == g.Rows() + 1, "base grid counts");
    Restore(g);
    // A combo line leaves the grid a combo of its own that nothing resets, and
    // which every later load would copy: the next input gets a fresh grid.
    if (g.GridCombo()) SharedGrid() = NewGrid();
    fw::ProcessMessages();
}

// A grid with a combo column, own fonts and a row combo.
void Dress(vel::TtsGrid& g) {
    g.Col(2)->SetButtonType(vel::btCombo);
    vel::TtsComboGrid* list = g.Col(2)->EnsureCombo()->Grid();
    list->SetRows(2);
    list->SetCellValue(1, 1, vel::TtsVariant(std::string("Hip")));
    list->SetDropDownRows(3);
    g.Row(3)->SetButtonType(vel::btCombo);
    g.Row(3)->EnsureCombo()->SetAutoSearch(vel::asBottom);
    fw::TFont bold;
    bold.SetStyle(fw::fsBold);
    g.Cell(1, 2).SetFont(&bold);
    g.Col(1)->HeadingFontObject().SetStyle(fw::fsItalic);
    g.SetRowBarOn(false);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzzing = true;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const int budget = LineBudget(size);
    const int named = NamedLines(bytes);
    if (Fuzzing && named > FuzzLineCap(size)) return 0;
    // The readers: both model loads and the grid's (3), or one of them.
    std::uint32_t hash = 2166136261u;
    for (std::uint8_t b : bytes)
        hash = (hash ^ b) * 16777619u;
    const std::uint32_t only = named <= budget && (!Fuzzing || IsSeed(bytes)) ? 3 : hash % 3;
    // A full load binding columns by index, and a partial one binding them by name.
    for (std::uint8_t mode : {0, 1}) {
        if (only != 3 && only != mode) continue;
        vel::TtsGridModel g("Grid1", 3, 4);
        Fill(g);
        vel::TMemoryStream in(bytes);
        vel::TtsGridStreamComponent carrier(&g);
        carrier.LoadMode = mode;
        carrier.ColBinding = mode == 0 ? vel::bmFieldName : vel::bmDataCol;
        // Every input starts from the same data half.
        static const std::vector<std::uint8_t> before = Snapshot(g);
        bool accepted = false;
        try {
            carrier.Read(in);
            accepted = true;
        } catch (const vel::EReadError&) {
            FuzzCheck(Snapshot(g) == before, "a refused layout changes the data half");
        } catch (const vel::EInvalidGridOperation&) {
            // A stored value a setter refuses (check-box values) is the grid's own error.
            FuzzCheck(Snapshot(g) == before, "a refused layout changes the data half");
        }
        CheckConsistent(g, budget);
        // The grid the layout made (a refused one left the same grid each time).
        if (accepted && mode == 1 && g.Cols() + g.Rows() <= budget) CheckResave(g);
    }
    if (only == 3 || only == 2) LoadIntoGrid(bytes);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    vel::TtsGridModel g("Grid1", 3, 6);
    Fill(g);
    g.Col(1)->SetHeading("Name");
    g.Col(2)->SetWidth(90);
    g.Col(3)->SetControlType(vel::ctCheck);
    g.Col(3)->SetCheckBoxValues("Yes|No");
    g.Row(2)->SetHeight(30);
    g.Row(4)->SetVisible(false);
    g.SetDisplayRow(5, 1);
    g.RowSelection.Select(3, true);
    g.Cell(2, 2).SetColor(0xFF);
    g.Cell(1, 3).SetWordWrap(vel::wwOn);
    g.Storage()->SetValue(2, 6, vel::tagInteger, std::int32_t{12});
    auto seed = [&](vel::TtsPropKinds parts, vel::TtsKindSet kinds) {
        vel::TMemoryStream s;
        vel::SaveLayout(g, s, parts, true, kinds);
        seeds.push_back(s.Data());
    };
    seed(vel::pkGrid | vel::pkCols | vel::pkRows | vel::pkCells, vel::AllKinds);
    seed(vel::pkCols, vel::Kind(vel::prColWidth) | vel::Kind(vel::prColor));
    seed(vel::pkRows | vel::pkCells, vel::Kind(vel::prDisplayPos) | vel::Kind(vel::prColor));
    // A grid's layouts: its whole record, combo lists and fonts; and a record of
    // chosen kinds written from a copy.
    vel::TtsGrid grid(nullptr);
    grid.SetCols(3);
    grid.SetRows(3);
    Dress(grid);
    for (auto [parts, kinds] : {std::pair{vel::TtsPropKinds(vel::pkCols | vel::pkRows | vel::pkCells),
                                          vel::AllKinds},
                                std::pair{vel::TtsPropKinds(vel::pkGrid | vel::pkCols),
                                          vel::Kind(vel::prCombo) | vel::Kind(vel::prFont)}}) {
        vel::TMemoryStream s;
        grid.SaveLayout(s, parts, false, kinds);
        seeds.push_back(s.Data());
    }
    return seeds;
}
