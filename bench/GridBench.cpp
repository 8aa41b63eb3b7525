// The data grid at 1k, 100k and 1M rows of 8 columns, its values in its own
// storage: a full paint of an 800 x 600 client, scrolling (a page, to the
// end, a thumb drag, the top row set to the middle), moving the current cell,
// selecting rows, and saving and loading a layout. The aim: paint and scroll
// take the same time at every row count.
//
// Beside them the grid's integer set against std::set for a million random
// keys. (The cell value storage beside a plain loop is in GridScalingBench.)
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <set>
#include <string>

#include "Bitmap.h"
#include "Forms.h"
#include "Input.h"
#include "TSGrid.h"
#include "TSSetLib.h"

namespace {

using namespace vel;

// One grid a row count, made once and kept for every benchmark of that size.
struct TGridRig {
    std::unique_ptr<fw::TForm> Form;
    TtsGrid* Grid = nullptr;
};

TGridRig& Rig(int rows) {
    static std::map<int, TGridRig> rigs;
    TGridRig& r = rigs[rows];
    if (r.Grid) return r;
    r.Form = std::make_unique<fw::TForm>(nullptr);
    r.Form->SetBounds(0, 0, 820, 620);
    r.Grid = fw::Create<TtsGrid>(r.Form.get());
    r.Grid->SetParent(r.Form.get());
    r.Grid->SetBounds(0, 0, 816, 600); // an 800 x 600 client beside its vertical bar
    r.Grid->SetStoreData(true);
    r.Grid->SetCols(8);
    r.Grid->SetRows(rows);
    Tts2DStorage& st = *r.Grid->Storage();
    for (int row = 1; row <= rows; ++row)
        for (int c = 1; c <= 8; ++c)
            if (c == 1)
                st.SetValue(c, row, tagText, "row " + std::to_string(row));
            else
                st.SetValue(c, row, tagInteger, std::int32_t{row * 10 + c});
    r.Grid->Col(8)->SetControlType(ctCheck);
    r.Form->Show();
    fw::ProcessMessages();
    return r;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000);
}

void BM_GridPaint(benchmark::State& state) {
    TtsGrid& g = *Rig(static_cast<int>(state.range(0))).Grid;
    g.SetTopRow(static_cast<int>(state.range(0)) / 2);
    fw::TSurface surface;
    for (auto _ : state)
        fw::PaintControlTo(&g, surface);
    state.counters["client"] = g.ClientWidth() * 10000 + g.ClientHeight();
}
BENCHMARK(BM_GridPaint)->Apply(Sizes)->Unit(benchmark::kMillisecond);

void BM_GridScrollPage(benchmark::State& state) {
    TtsGrid& g = *Rig(static_cast<int>(state.range(0))).Grid;
    g.SetTopRow(1);
    for (auto _ : state) {
        g.ModifyScrollBar(SB_VERT, SB_PAGEDOWN, 0, false);
        g.ModifyScrollBar(SB_VERT, SB_PAGEUP, 0, false);
    }
}
BENCHMARK(BM_GridScrollPage)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

void BM_GridScrollToTheEnd(benchmark::State& state) {
    TtsGrid& g = *Rig(static_cast<int>(state.range(0))).Grid;
    for (auto _ : state) {
        g.ModifyScrollBar(SB_VERT, SB_BOTTOM, 0, false);
        g.ModifyScrollBar(SB_VERT, SB_TOP, 0, false);
    }
}
BENCHMARK(BM_GridScrollToTheEnd)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

void BM_GridThumbDrag(benchmark::State& state) {
    TtsGrid& g = *Rig(static_cast<int>(state.range(0))).Grid;
    g.SetThumbTracking(true);
    int pos = 0;
    for (auto _ : state) {
        g.ModifyScrollBar(SB_VERT, SB_THUMBTRACK, pos, false);
        pos = (pos + 37) % 128;
    }
}
BENCHMARK(BM_GridThumbDrag)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

void BM_GridTopRowToTheMiddle(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    TtsGrid& g = *Rig(rows).Grid;
    for (auto _ : state) {
        g.SetTopRow(rows / 2);
        g.SetTopRow(1);
    }
}
BENCHMARK(BM_GridTopRowToTheMiddle)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

void BM_GridMoveCurrentCell(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    TtsGrid& g = *Rig(rows).Grid;
    for (auto _ : state) {
        g.SetCurrentCell(3, rows / 2);
        g.SetCurrentCell(2, 1);
    }
}
BENCHMARK(BM_GridMoveCurrentCell)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

void BM_GridSelectRows(benchmark::State& state) {
    TtsGrid& g = *Rig(static_cast<int>(state.range(0))).Grid;
    for (auto _ : state) {
        g.SelectRows(100, 1099, true); // a thousand rows
        g.ClearSelection();
    }
}
BENCHMARK(BM_GridSelectRows)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

void BM_GridLayoutSaveLoad(benchmark::State& state) {
    TtsGrid& g = *Rig(static_cast<int>(state.range(0))).Grid;
    g.Col(2)->SetWidth(90);
    g.Row(5)->SetHeight(30);
    g.SetDisplayRow(7, 2);
    for (auto _ : state) {
        TMemoryStream s;
        g.SaveLayout(s, pkGrid | pkCols | pkRows | pkCells, false, AllKinds);
        s.SetPosition(0);
        g.LoadLayout(s, 0);
    }
}
BENCHMARK(BM_GridLayoutSaveLoad)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// --- The integer set beside std::set -------------------------------------------------

const std::vector<std::int32_t>& RandomKeys() {
    static const std::vector<std::int32_t> keys = [] {
        std::mt19937 rng(42);
        std::vector<std::int32_t> k(1000000);
        for (auto& v : k)
            v = static_cast<std::int32_t>(rng());
        return k;
    }();
    return keys;
}

void BM_IntegerSetInsertFindErase(benchmark::State& state) {
    const auto& keys = RandomKeys();
    for (auto _ : state) {
        TtsIntegerSet set;
        for (std::int32_t k : keys)
            set.Add(k);
        std::size_t found = 0;
        for (std::int32_t k : keys)
            found += set.Find(k) != nullptr;
        for (std::int32_t k : keys)
            set.Remove(k);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_IntegerSetInsertFindErase)->Unit(benchmark::kMillisecond);

void BM_StdSetInsertFindErase(benchmark::State& state) {
    const auto& keys = RandomKeys();
    for (auto _ : state) {
        std::set<std::int32_t> set;
        for (std::int32_t k : keys)
            set.insert(k);
        std::size_t found = 0;
        for (std::int32_t k : keys)
            found += set.count(k);
        for (std::int32_t k : keys)
            set.erase(k);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_StdSetInsertFindErase)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
