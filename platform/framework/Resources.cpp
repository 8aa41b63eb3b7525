#include "Resources.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>

namespace fw {

namespace {

namespace fs = std::filesystem;

std::mutex PathsLock;
std::vector<std::string> ExtraPaths;

// The nearest "resources" folder above the library's own file.
std::string BuiltInResourceFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&BuiltInResourceFolder), &info) == 0 || !info.dli_fname)
        return {};
    std::error_code ec;
    fs::path dir = fs::absolute(fs::path(info.dli_fname), ec).parent_path();
    for (int up = 0; up < 6 && !dir.empty(); ++up) {
        const fs::path candidate = dir / "resources";
        if (fs::is_directory(candidate, ec)) return candidate.string();
        if (dir == dir.parent_path()) break;
        dir = dir.parent_path();
    }
    return {};
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

void AddResourcePath(const std::string& folder) {
    std::lock_guard lock(PathsLock);
    ExtraPaths.insert(ExtraPaths.begin(), folder);
}

void ClearResourcePaths() {
    std::lock_guard lock(PathsLock);
    ExtraPaths.clear();
}

std::vector<std::string> ResourcePaths() {
    std::vector<std::string> paths;
    {
        std::lock_guard lock(PathsLock);
        paths = ExtraPaths;
    }
    if (const char* env = std::getenv("VEL_RESOURCES")) {
        std::string_view rest(env);
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view part = rest.substr(0, colon);
            if (!part.empty()) paths.emplace_back(part);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    static const std::string builtIn = BuiltInResourceFolder();
    if (!builtIn.empty()) paths.push_back(builtIn);
    return paths;
}

bool IsValidResourceName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '.') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
    });
}

std::string FindResourceFile(const std::string& name, const std::vector<std::string>& extensions) {
    if (!IsValidResourceName(name)) return {};
    std::error_code ec;
    const std::string names[2] = {name, Lower(name)};
    for (const std::string& folder : ResourcePaths())
        for (const std::string& n : names)
            for (const std::string& ext : extensions) {
                const fs::path p = fs::path(folder) / (n + ext);
                if (fs::is_regular_file(p, ec)) return p.string();
            }
    return {};
}

std::unique_ptr<TBitmap> LoadBitmapResource(const std::string& name) {
    const std::string path = FindResourceFile(name, {".bmp", ".vbm", ".png"});
    if (path.empty()) throw EResNotFound("Resource " + name + " not found");
    auto bmp = std::make_unique<TBitmap>();
    bmp->LoadFromFile(path);
    return bmp;
}

std::vector<std::uint8_t> LoadResourceData(const std::string& fileName, std::size_t maxBytes) {
    const std::string path = FindResourceFile(fileName, {""});
    if (path.empty()) throw EResNotFound("Resource " + fileName + " not found");
    return ReadFileBytes(path, maxBytes);
}

} // namespace fw
