// Settings files: whatever a file holds, the store starts from its good lines,
// and what the store writes reads back cleanly and writes out the same again.
#include <string>

#include "FuzzTarget.h"
#include "ScratchFile.h"
#include "Settings.h"

namespace {

// A change, so that the store writes the file when it goes.
void Touch(fw::TSettingsStore& store) {
    FuzzCheck(store.OpenKey("\\Software\\Fuzz", true), "a key can be made");
    store.WriteInteger("Runs", 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzzfile::WriteScratch("settings.ini", data, size);
    {
        fw::TSettingsStore store(path);
        Touch(store);
    }
    const std::string written = fuzzfile::ReadScratch(path);
    {
        fw::TSettingsStore store(path);
        FuzzCheck(store.LastError().empty(), "what the store writes reads back cleanly");
        FuzzCheck(store.OpenKey("\\software\\fuzz", false) && store.ReadInteger("runs") == 1,
                  "the change was kept");
        Touch(store);
    }
    FuzzCheck(fuzzfile::ReadScratch(path) == written, "a file read and written again is the same");
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    const std::string path = (fuzzfile::ScratchDir() / "seed.ini").string();
    {
        fw::TSettingsStore store(path);
        store.OpenKey("\\Software\\Orrendale\\Velmarch", true);
        store.WriteInteger("WindowLeft", -120);
        store.WriteBool("OptAutoSelect", true);
        store.WriteString("Title", "a=b [c] 100%\r\nnext");
        store.OpenKey("Grid\\Columns", true);
        store.WriteString("Widths", "12,40;8 # not a comment");
    }
    const std::string text = fuzzfile::ReadScratch(path);
    const std::string damaged = "; comment\n[Software\\A]\nGood=i:5\nBad=i:12x\nNoType=7\n"
                                "Odd=q:1\n[Broken\nLost=i:1\n[]\nText=s:%4\n";
    return {std::vector<std::uint8_t>(text.begin(), text.end()),
            std::vector<std::uint8_t>(damaged.begin(), damaged.end())};
}
