// The tree unit's shared resources: the check and utility image lists and the
// panning pictures, made by the first tree and shared by all of them.
#pragma once

#include "LazyTreeOptions.h"

#include "Bitmap.h"
#include "ImageList.h"

#include <memory>
#include <string>
#include <vector>

namespace vel {

// Utility images (the header's drop marks and sort glyphs, the hot strip of
// the XP header).
constexpr int uiDropMarkLeft = 0;
constexpr int uiDropMarkRight = 1;
constexpr int uiSortDescending = 2;
constexpr int uiSortAscending = 3;
constexpr int uiSortDescendingThemed = 4;
constexpr int uiSortAscendingThemed = 5;
constexpr int uiHotStripLeft = 6;
constexpr int uiHotStripMiddle = 7;
constexpr int uiHotStripRight = 8;

// Makes the shared lists once (the first tree's constructor).
void InitializeGlobalStructures();
bool GlobalsInitialized();
// The shared list of a kind; null for ckCustom.
fw::TImageList* CheckImageList(TCheckImageKind Kind);
fw::TImageList& UtilityImages();
// Draws the shared check lists again (the system colours changed).
void RebuildCheckImages();
// The unit's end: the shared lists go (a later tree would make them anew).
void FinalizeGlobalStructures();

// Fills ImageList with the internal picture NAME: a resource file of that name
// when there is one, else the unit's own drawing. Square images, as tall as the
// picture; pixel (0, 0) is the transparent colour. With ColorRemapping white,
// silver and grey become the window, button-face and button-shadow colours.
// Asserts "Internal image "NAME" is missing or corrupt." for an unknown name.
void LoadInternalImages(fw::TImageList& ImageList, const std::string& ResourceName,
                        bool ColorRemapping = true);
// The system's check and radio boxes drawn into 16 x 16 cells (25 images).
void CreateSystemImageSet(fw::TImageList& ImageList, bool Flat);

// A 32 x 32 picture of the panning centre: "LT_MOVEALL", "LT_MOVEEW" or "LT_MOVENS".
std::unique_ptr<fw::TBitmap> LoadPanningImage(const std::string& Name);
// The pixels of a picture that are not magenta (0xFF00FF), row by row;
// asserts "Invalid wheel panning image." for an empty picture.
std::vector<bool> CreatePanningRegion(const fw::TBitmap& Image);

// The system RGB value of a colour; clNone gives 0xFFFFFFFF and clDefault 0xFF000000.
std::uint32_t GetRGBColor(fw::TColor Color);

} // namespace vel
