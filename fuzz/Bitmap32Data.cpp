// The stored "Data" of a 32-bit bitmap, read over a bitmap that holds a
// picture: a refusal leaves that picture, an acceptance writes back the input.
#include <algorithm>
#include <span>

#include "Bitmap32.h"
#include "FuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    vel::TBitmap32 bitmap;
    bitmap.SetSize(3, 2);
    bitmap.Clear(0x80FF4020u);
    const std::vector<std::uint8_t> before = bitmap.WriteData();
    try {
        bitmap.ReadData(input);
    } catch (const vel::EBitmap32DataError&) {
        FuzzCheck(bitmap.WriteData() == before, "refused data leaves the picture");
        return 0;
    }
    const std::vector<std::uint8_t> after = bitmap.WriteData();
    FuzzCheck(std::equal(after.begin(), after.end(), input.begin(), input.end()),
              "accepted data is written back as it was read");
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    vel::TBitmap32 bitmap;
    seeds.push_back(bitmap.WriteData()); // empty
    bitmap.SetSize(0, 5);
    seeds.push_back(bitmap.WriteData()); // no pixels but a height
    bitmap.SetSize(4, 3);
    bitmap.Clear(0xFF102030u);
    bitmap.FillRectS(1, 1, 3, 2, 0x40FFFFFFu);
    seeds.push_back(bitmap.WriteData());
    return seeds;
}
