#pragma once
// Resources are the project's own files in a resources folder, found by name.
#include "Bitmap.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class EResNotFound : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Folders searched, in order: those added here (latest first), those in
// $VEL_RESOURCES (separated by ':'), then the first folder named
// "resources" found going up from the folder of the framework library.
void AddResourcePath(const std::string& folder);
void ClearResourcePaths();
std::vector<std::string> ResourcePaths();

// Letters, digits, '_', '-' and '.', not starting with '.': a name never
// leaves the resource folders.
bool IsValidResourceName(std::string_view name);

// The path of `name` plus the first of `extensions` that exists in a
// resource folder (the name as given, then in lower case); empty when none.
std::string FindResourceFile(const std::string& name, const std::vector<std::string>& extensions);

// A picture resource: NAME.bmp, NAME.vbm or NAME.png. Throws EResNotFound
// when there is none and EInvalidGraphic when it cannot be read.
std::unique_ptr<TBitmap> LoadBitmapResource(const std::string& name);
// The bytes of the resource file `fileName` (with its extension). Throws
// EResNotFound, or EInvalidGraphic when it is larger than maxBytes.
std::vector<std::uint8_t> LoadResourceData(const std::string& fileName,
                                           std::size_t maxBytes = std::size_t{64} << 20);

} // namespace fw
