#include "ExitHost.h"

#include <vector>

#include "Bitmap.h"
#include "Messages.h"
#include "TSDropDown.h"
#include "TSGridCtrl.h"
#include "TSStorage.h"

namespace exithost {
namespace {

// Bitmaps first, so that the storage that refers to them goes before them.
std::vector<fw::TBitmap>& Pictures() {
    static std::vector<fw::TBitmap> pictures(3);
    return pictures;
}

vel::Tts2DStorage& Cells() {
    static vel::Tts2DStorage cells(4, 4);
    return cells;
}

// A grid whose drop-down is still open at exit: it leaves the registry as
// it goes, like a grid freed by a late exit handler.
class TOpenDropDown : public vel::TtsDropDownOwner {
public:
    ~TOpenDropDown() override { vel::TtsDropDownRegistry::Remove(this); }
    fw::HWND GridWindow() override { return nullptr; }
    fw::HWND ComboListWindow() override { return nullptr; }
    fw::HWND CellControlWindow() override { return nullptr; }
    bool IsDropDownWindow(fw::HWND) override { return false; }
    bool IsDropDownOpen() override { return true; }
    bool MayCloseDropDown() override { return false; }
    void CloseDropDown(bool) override {}
};

TOpenDropDown& DropDown() {
    static TOpenDropDown dropDown;
    return dropDown;
}

} // namespace

void KeepGridCells() {
    Pictures();
    Cells();
    DropDown();
}

void FillGridCells() {
    std::vector<fw::TBitmap>& pictures = Pictures();
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        pictures[i].SetSize(8, 8);
        Cells().SetBitmap(static_cast<int>(i) + 1, 1, &pictures[i]);
        Cells().SetBitmap(1, static_cast<int>(i) + 2, &pictures[i]);
    }
    vel::TtsDropDownRegistry::Add(&DropDown());
}

void PlaceCheckBox(fw::TForm* form) {
    auto* box = fw::Create<vel::TtsGridCheckBox>(form);
    box->SetParent(form);
    box->SetBounds(160, 0, 40, 20);
    fw::ProcessMessages();
}

} // namespace exithost
