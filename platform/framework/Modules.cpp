#include "Modules.h"

#include <set>
#include <string>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cfenv>
#include <cstring>
#include <filesystem>
#include <strings.h>

namespace fw {
namespace {

std::string gLastError;

void Remember(const char* what) {
    gLastError = what ? what : "";
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ProgramPath() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

std::string DirOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A handle for the object whose link map entry is lm, without keeping a reference.
ModuleHandle HandleOf(const char* path) {
    if (!path || !*path) return dlopen(nullptr, RTLD_LAZY);
    void* h = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
    if (h) dlclose(h); // still loaded: the handle stays valid
    return h;
}

} // namespace

ModuleHandle LoadModule(const std::string& name) {
    if (name.empty()) {
        Remember("empty module name");
        return nullptr;
    }
    if (void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    Remember(dlerror());
    if (name.find('/') != std::string::npos) return nullptr;
    std::string firstError = gLastError;
    Dl_info self{};
    std::string here;
    if (dladdr(reinterpret_cast<const void*>(&LoadModule), &self) && self.dli_fname)
        here = DirOf(self.dli_fname);
    for (const std::string& dir : {DirOf(ProgramPath()), here}) {
        if (dir.empty()) continue;
        const std::string path = dir + "/" + name;
        if (void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    gLastError = firstError;
    return nullptr;
}

bool FreeModule(ModuleHandle module) {
    return module && dlclose(module) == 0;
}

namespace {
std::set<std::string>& FailedSymbols() {
    static std::set<std::string> names;
    return names;
}
} // namespace

void FailSymbolLookup(const std::string& name) {
    FailedSymbols().insert(name);
}
void ClearFailedSymbolLookups() {
    FailedSymbols().clear();
}

void* FindSymbol(ModuleHandle module, const char* name) {
    if (!module || !name) return nullptr;
    if (FailedSymbols().count(name)) {
        Remember((std::string("symbol made to fail: ") + name).c_str());
        return nullptr;
    }
    dlerror();
    void* p = dlsym(module, name);
    if (!p) Remember(dlerror());
    return p;
}

std::string ModuleFileName(ModuleHandle module) {
    if (!module) return ProgramPath();
    link_map* lm = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &lm) != 0 || !lm) {
        Remember(dlerror());
        return {};
    }
    if (!lm->l_name || !*lm->l_name) return ProgramPath();
    std::error_code ec;
    auto abs = std::filesystem::absolute(lm->l_name, ec);
    return ec ? std::string(lm->l_name) : abs.lexically_normal().string();
}

ModuleHandle FindLoadedModule(const std::string& fileName) {
    if (fileName.empty()) return nullptr;
    struct Search {
        const std::string* want;
        std::string found;
        bool main = false;
    } search{&fileName, {}, false};
    const std::string program = BaseName(ProgramPath());
    if (strcasecmp(program.c_str(), fileName.c_str()) == 0) return dlopen(nullptr, RTLD_LAZY);
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            if (!info->dlpi_name || !*info->dlpi_name) return 0;
            const std::string base = BaseName(info->dlpi_name);
            if (strcasecmp(base.c_str(), s->want->c_str()) != 0) return 0;
            s->found = info->dlpi_name;
            return 1;
        },
        &search);
    if (search.found.empty()) return nullptr;
    return HandleOf(search.found.c_str());
}

ModuleHandle ModuleOfAddress(const void* addr) {
    Dl_info info{};
    link_map* lm = nullptr;
    if (!addr || !dladdr1(addr, &info, reinterpret_cast<void**>(&lm), RTLD_DL_LINKMAP) || !lm)
        return nullptr;
    return HandleOf(lm->l_name);
}

std::string LastModuleError() {
    return gLastError;
}

void ClearFloatExceptions() {
    std::feclearexcept(FE_ALL_EXCEPT);
}

} // namespace fw
