// A grid layout kept as text in the settings store: the input is the whole
// settings file, so that the store's reading, the layout text and the layout
// itself are all on the way.
#include <string>

#include "FuzzTarget.h"
#include "Grids_ts.h"
#include "ScratchFile.h"
#include "TSGridStream.h"

namespace {

const char* const Key = "\\HKEY_CURRENT_USER\\Software\\Velmarch\\Grids";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzzfile::WriteScratch("layout.ini", data, size);
    vel::TtsGridModel g("Grid1", 3, 4);
    try {
        vel::LoadLayoutFromSettings(g, Key, "Layout", path, 1);
    } catch (const vel::EReadError&) {
    } catch (const vel::EInvalidGridOperation&) {
    } catch (const fw::ESettingsError&) {
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    vel::TtsGridModel g("Grid1", 3, 4);
    g.Col(1)->SetHeading("Name");
    g.Col(2)->SetWidth(80);
    g.Row(2)->SetHeight(24);
    g.SetDisplayRow(4, 1);
    const std::string path = (fuzzfile::ScratchDir() / "seed.ini").string();
    vel::SaveLayoutToSettings(g, Key, "Layout", path, vel::pkCols | vel::pkRows, vel::AllKinds);
    std::vector<std::vector<std::uint8_t>> seeds;
    const std::string text = fuzzfile::ReadScratch(path);
    seeds.emplace_back(text.begin(), text.end());
    // The grid's own record from a copy of chosen kinds, and cell fonts.
    fw::TFont bold;
    bold.SetStyle(fw::fsBold);
    g.Cell(2, 2).SetFont(&bold);
    g.Col(1)->HeadingFontObject().SetStyle(fw::fsItalic);
    vel::SaveLayoutToSettings(g, Key, "Layout", path, vel::pkGrid | vel::pkCells,
                              vel::Kind(vel::prFont));
    const std::string fonts = fuzzfile::ReadScratch(path);
    seeds.emplace_back(fonts.begin(), fonts.end());
    return seeds;
}
