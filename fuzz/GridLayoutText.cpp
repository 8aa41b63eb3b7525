// A grid layout kept as text in the settings store: the input is the whole
// settings file, so that the store's reading, the layout text and the layout
// itself are all on the way.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include "FuzzTarget.h"
#include "Grids_ts.h"
#include "TSGridStream.h"

namespace {

const std::string& FilePath() {
    static const std::string path = "/tmp/vel-fuzz-" + std::to_string(::getpid()) + "-layout.ini";
    return path;
}

const char* const Key = "\\HKEY_CURRENT_USER\\Software\\Velmarch\\Grids";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    vel::TtsGridModel g("Grid1", 3, 4);
    try {
        vel::LoadLayoutFromSettings(g, Key, "Layout", FilePath(), 1);
    } catch (const vel::EReadError&) {
    } catch (const vel::EInvalidGridOperation&) {
    } catch (const fw::ESettingsError&) {
    }
    std::remove(FilePath().c_str());
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    vel::TtsGridModel g("Grid1", 3, 4);
    g.Col(1)->SetHeading("Name");
    g.Col(2)->SetWidth(80);
    g.Row(2)->SetHeight(24);
    g.SetDisplayRow(4, 1);
    vel::SaveLayoutToSettings(g, Key, "Layout", FilePath(), vel::pkCols | vel::pkRows,
                              vel::AllKinds);
    std::ifstream in(FilePath(), std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::remove(FilePath().c_str());
    return {bytes};
}
