// The grid's operations that once grew with the square of their data, each at
// several sizes: per size the time should grow in step with the size (or not
// at all), never with its square. Only operations the grid has had from the
// start are used, so the same program measures an older grid too.
//
//   layout load    stored rows in reverse display order, read back
//   column moves   the last column to the front and back, and a count raised
//   data row       the data row at a display position once a row has moved
//   wrap           the height of a long text wrapped into a narrow cell
//   editor caret   a one-line editor's caret taken to the end of a long text
//   double-byte    in code page 932, a text of characters whose bytes may all lead:
//                  its characters counted, wrapped, and an editor's caret taken to
//                  its end (the code pages came later: an older grid has no such test)
//   hidden rows    hiding rows from the end one by one, and Page Up over a run
//   jumps          the top row set to the middle of the rows and back
//   default width  a new default column width taken by every column of a grid
//   storage        1000 x 1000 stored integers loaded, beside a plain loop that
//                  reads the same bytes into one array (the aim: within 2x)
//   engine lines   a grid grown one row at a time; at 10k, 100k and 1M rows one
//                  row added and taken away, one row hidden and shown, one row
//                  moved ten places and back (the aim: the same time at every size)
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "Bitmap.h"
#include "CodePage.h"
#include "Forms.h"
#include "Grids_ts.h"
#include "Input.h"
#include "TSGLib.h"
#include "TSGrid.h"
#include "TSGridEdit.h"
#include "TSGridStream.h"
#include "TSMbcs.h"
#include "TSStorage.h"

namespace {

using namespace vel;

void BM_LayoutLoadReordered(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TtsGridModel source("Grid1", 2, n);
    for (int r = 1; r <= n; ++r)
        source.SetDisplayRow(r, 1); // reverse order
    TMemoryStream stored;
    SaveLayout(source, stored, pkRows, false, AllKinds);
    for (auto _ : state) {
        state.PauseTiming();
        TtsGridModel g("Grid2", 2, n);
        stored.SetPosition(0);
        state.ResumeTiming();
        LoadLayout(g, stored, 1);
        benchmark::DoNotOptimize(g.DataRowAt(1));
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_LayoutLoadReordered)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond);

void BM_MoveColumn(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TtsGridModel g("Grid1", n, 2);
    for (auto _ : state) {
        g.MoveCol(n, 1);
        g.MoveCol(1, n);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_MoveColumn)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMicrosecond);

void BM_SetCols(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TtsGridModel g("Grid1", 1, 1);
        g.SetCols(n);
        benchmark::DoNotOptimize(g.DataColAt(n));
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_SetCols)->Arg(1000)->Arg(4000)->Arg(16000)->Arg(64000)->Arg(131072)->Unit(benchmark::kMillisecond);

void BM_DataRowAtAfterAMove(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TtsGridModel g("Grid1", 2, n);
    g.SetDisplayRow(1, 2);
    int d = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(g.DataRowAt(d));
        d = d % n + 1;
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_DataRowAtAfterAMove)->Arg(10000)->Arg(100000)->Arg(1000000);

std::string LongText(int bytes) {
    std::string t;
    while (static_cast<int>(t.size()) < bytes)
        t += "words of a long note ";
    t.resize(static_cast<std::size_t>(bytes));
    return t;
}

// Wraps the text into a 200-pixel column each round.
void WrapRounds(benchmark::State& state, const std::string& text) {
    fw::TBitmap scratch(4, 4);
    for (auto _ : state) {
        int height = 0, lines = 0;
        WrappedTextHeight(scratch.Canvas(), text, 200, height, lines, true, htaLeft);
        benchmark::DoNotOptimize(lines);
    }
    state.SetComplexityN(state.range(0));
}

void BM_WrapLongText(benchmark::State& state) {
    WrapRounds(state, LongText(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_WrapLongText)->Arg(50000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

// Moves an editor's caret from the start of Text to its end and back.
void CaretToTheEnd(benchmark::State& state, const std::string& text) {
    fw::ResetInputState();
    auto form = std::make_unique<fw::TForm>(nullptr);
    form->SetBounds(0, 0, 300, 100);
    auto* edit = fw::Create<TtsGridEditBox>(form.get());
    edit->SetParent(form.get());
    edit->SetWordWrap(wwOff);
    edit->SetBounds(0, 0, 200, 14);
    edit->SetText(text, false, false);
    for (auto _ : state) {
        edit->SetSelStart(0);
        edit->SetSelStart(static_cast<int>(text.size()));
        benchmark::DoNotOptimize(edit->ScrollOffset());
    }
    state.SetComplexityN(state.range(0));
}

void BM_EditorCaretToTheEnd(benchmark::State& state) {
    CaretToTheEnd(state, LongText(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_EditorCaretToTheEnd)
    ->Arg(20000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// Double-byte characters only, every byte of them a possible lead byte: the text a
// walk that looks back from each byte to find its kind pays for most.
std::string DoubleByteText(int bytes) {
    std::string t;
    while (static_cast<int>(t.size()) + 2 <= bytes)
        t += "\x88\x9f";
    return t;
}

void BM_DoubleByteCount(benchmark::State& state) {
    fw::TCodePageScope japanese(932);
    const std::string text = DoubleByteText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(CharCount(text));
        benchmark::DoNotOptimize(EditCharCount(text));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DoubleByteCount)->Arg(50000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMicrosecond);

void BM_DoubleByteWrap(benchmark::State& state) {
    fw::TCodePageScope japanese(932);
    WrapRounds(state, DoubleByteText(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_DoubleByteWrap)->Arg(50000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_DoubleByteEditorCaretToTheEnd(benchmark::State& state) {
    fw::TCodePageScope japanese(932);
    CaretToTheEnd(state, DoubleByteText(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_DoubleByteEditorCaretToTheEnd)
    ->Arg(20000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// A base grid of `rows` rows on a form of its own, 400 x 300.
struct TBaseGridRig {
    explicit TBaseGridRig(int rows, bool lines = true) {
        fw::ResetInputState();
        Form = std::make_unique<fw::TForm>(nullptr);
        Grid = fw::Create<TCustomGrid_ts>(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(0, 0, 400, 300);
        if (!lines) Grid->SetGridLineWidth(0);
        Grid->SetRowCount(rows);
    }
    std::unique_ptr<fw::TForm> Form;
    TCustomGrid_ts* Grid;
};

void BM_HideRowsFromTheEnd(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        TBaseGridRig rig(n + 1, false);
        TCustomGrid_ts* grid = rig.Grid;
        state.ResumeTiming();
        for (int r = n; r >= 10; --r)
            grid->SetRowHeights(r, 0);
        benchmark::DoNotOptimize(grid->TopRow());
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_HideRowsFromTheEnd)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond);

void BM_PageUpOverHiddenRows(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TBaseGridRig rig(n + 20, false);
    TCustomGrid_ts* grid = rig.Grid;
    for (int r = 10; r < n + 10; ++r)
        grid->SetRowHeights(r, 0);
    for (auto _ : state) {
        grid->SetTopRow(n + 10);
        grid->ModifyScrollBar(SB_VERT, SB_PAGEUP, 0, false);
        benchmark::DoNotOptimize(grid->TopRow());
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_PageUpOverHiddenRows)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMicrosecond);

void BM_BaseGridJump(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TBaseGridRig rig(n + 1);
    TCustomGrid_ts* grid = rig.Grid;
    grid->SetRowHeights(n / 3, 30); // the rows keep sizes of their own
    for (auto _ : state) {
        grid->SetTopRow(n / 2);
        grid->SetTopRow(1);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_BaseGridJump)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// --- The engine's lines ------------------------------------------------------------

struct TEngineRig {
    explicit TEngineRig(int rows) : Form(std::make_unique<fw::TForm>(nullptr)) {
        Form->SetBounds(0, 0, 420, 320);
        Grid = fw::Create<TtsGrid>(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(0, 0, 400, 300);
        Grid->SetRows(rows);
        Form->Show();
        fw::ProcessMessages();
    }
    std::unique_ptr<fw::TForm> Form;
    TtsGrid* Grid;
};

void BM_GridGrowRowByRow(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        TEngineRig rig(0);
        state.ResumeTiming();
        while (rig.Grid->Rows() < n)
            rig.Grid->SetRows(rig.Grid->Rows() + 1);
        benchmark::DoNotOptimize(rig.Grid->RowCount());
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_GridGrowRowByRow)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);

void EngineSizes(benchmark::internal::Benchmark* b) {
    b->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
}

void BM_GridAddAndRemoveARow(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TEngineRig rig(n);
    for (auto _ : state) {
        rig.Grid->SetRows(n + 1);
        rig.Grid->SetRows(n);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_GridAddAndRemoveARow)->Apply(EngineSizes);

void BM_GridHideAndShowARow(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TEngineRig rig(n);
    TtsRow* row = rig.Grid->Row(n / 2);
    for (auto _ : state) {
        row->SetVisible(false);
        row->SetVisible(true);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_GridHideAndShowARow)->Apply(EngineSizes);

void BM_GridMoveARowTenPlaces(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TEngineRig rig(n);
    const int r = n / 2;
    for (auto _ : state) {
        rig.Grid->SetDisplayRow(r, r + 10);
        rig.Grid->SetDisplayRow(r, r);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_GridMoveARowTenPlaces)->Apply(EngineSizes);

// --- The storage beside a plain loop -----------------------------------------------

const std::vector<std::uint8_t>& StoredThousands() {
    static const std::vector<std::uint8_t> bytes = [] {
        Tts2DStorage st(0, 0);
        for (int r = 1; r <= 1000; ++r)
            for (int c = 1; c <= 1000; ++c)
                st.SetValue(c, r, tagInteger, std::int32_t{r ^ c});
        TMemoryStream s;
        st.SaveToStream(s);
        return s.Data();
    }();
    return bytes;
}

void BM_StorageLoad1000x1000(benchmark::State& state) {
    TMemoryStream s(StoredThousands());
    for (auto _ : state) {
        Tts2DStorage st(0, 0);
        s.SetPosition(0);
        st.LoadFromStream(s, nullptr);
        benchmark::DoNotOptimize(st.RowSlots());
    }
}
BENCHMARK(BM_StorageLoad1000x1000)->Unit(benchmark::kMillisecond);

// The same bytes read the same way into one flat array of tags and payloads.
void BM_PlainLoad1000x1000(benchmark::State& state) {
    TMemoryStream s(StoredThousands());
    for (auto _ : state) {
        std::vector<std::uint8_t> tags;
        std::vector<std::int32_t> values;
        s.SetPosition(0);
        for (;;) {
            const std::int32_t row = s.ReadI32();
            if (row == 0) break;
            const std::int32_t n = s.ReadI32();
            for (int c = 0; c < n; ++c) {
                tags.push_back(s.ReadU8());
                values.push_back(s.ReadI32());
            }
        }
        s.ReadI32();
        benchmark::DoNotOptimize(values.data());
    }
}
BENCHMARK(BM_PlainLoad1000x1000)->Unit(benchmark::kMillisecond);

void BM_StorageSave1000x1000(benchmark::State& state) {
    Tts2DStorage st(0, 0);
    TMemoryStream in(StoredThousands());
    st.LoadFromStream(in, nullptr);
    for (auto _ : state) {
        TMemoryStream s;
        st.SaveToStream(s);
        benchmark::DoNotOptimize(s.Size());
    }
}
BENCHMARK(BM_StorageSave1000x1000)->Unit(benchmark::kMillisecond);

void BM_DefaultColWidth(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TtsGrid g(nullptr);
    g.SetCols(n);
    int width = 64;
    for (auto _ : state) {
        width = width == 64 ? 65 : 64;
        g.SetDefaultColWidth(width);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_DefaultColWidth)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
