#include "Settings.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fw {
namespace {

// Files larger than this are not settings files.
constexpr std::uintmax_t kMaxFileSize = 16u << 20;

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Normalise(const std::string& path) {
    std::string out, part;
    auto flush = [&] {
        if (part.empty()) return;
        if (!out.empty()) out += '\\';
        out += part;
        part.clear();
    };
    for (char c : path) {
        if (c == '\\')
            flush();
        else
            part += c;
    }
    flush();
    return out;
}

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '%' || c == '=' || c == '[' || c == ']';
}

std::string Encode(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (NeedsEscape(c)) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Decode(const std::string& s, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool ParseInt32(const std::string& s, std::int32_t& out) {
    if (s.empty() || s.size() > 11) return false;
    std::size_t i = 0;
    bool neg = false;
    if (s[0] == '-') neg = true, i = 1;
    if (i >= s.size()) return false;
    std::int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    if (neg) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

} // namespace

std::string DefaultSettingsFile() {
    if (const char* env = std::getenv("VEL_SETTINGS_FILE"); env && *env) return env;
    const char* home = std::getenv("HOME");
    const std::string base = home && *home ? home : ".";
    return base + "/.config/velmarch/settings.ini";
}

TSettingsStore::TSettingsStore(std::string file) : FFile(std::move(file)) {
    Load();
}

TSettingsStore::~TSettingsStore() {
    try {
        Flush();
    } catch (...) {
        // A destructor must not throw; LastError keeps what went wrong.
    }
}

void TSettingsStore::Load() {
    std::error_code ec;
    if (!std::filesystem::exists(FFile, ec)) return;
    const auto size = std::filesystem::file_size(FFile, ec);
    if (ec) {
        FError = FFile + ": cannot read the settings file";
        return;
    }
    if (size > kMaxFileSize) {
        FError = FFile + ": the settings file is too large (" + std::to_string(size) + " bytes)";
        return;
    }
    std::ifstream in(FFile, std::ios::binary);
    if (!in) {
        FError = FFile + ": cannot open the settings file";
        return;
    }
    std::string line;
    int lineNo = 0, bad = 0;
    TKey* key = nullptr;
    auto fail = [&](const std::string& why) {
        if (bad++ == 0) FError = FFile + " line " + std::to_string(lineNo) + ": " + why;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            key = nullptr;
            std::string path;
            if (line.back() != ']' || !Decode(line.substr(1, line.size() - 2), path)) {
                fail("bad key line");
                continue;
            }
            key = &MakeKey(path);
            continue;
        }
        if (!key) {
            fail("value outside a key");
            continue;
        }
        const auto eq = line.find('=');
        std::string name, data;
        if (eq == std::string::npos || eq + 2 >= line.size() || line[eq + 2] != ':' ||
            !Decode(line.substr(0, eq), name)) {
            fail("bad value line");
            continue;
        }
        const char type = line[eq + 1];
        TValue v;
        v.Name = name;
        if (type == 'i') {
            v.IsInteger = true;
            if (!ParseInt32(line.substr(eq + 3), v.Integer)) {
                fail("bad integer for " + name);
                continue;
            }
        } else if (type == 's') {
            if (!Decode(line.substr(eq + 3), v.Text)) {
                fail("bad text for " + name);
                continue;
            }
        } else {
            fail("unknown value type for " + name);
            continue;
        }
        key->Values[Lower(name)] = std::move(v);
    }
    if (bad > 1) FError += " (and " + std::to_string(bad - 1) + " more bad lines)";
}

TSettingsStore::TKey& TSettingsStore::MakeKey(const std::string& path) {
    const std::string norm = Normalise(path);
    auto& k = FKeys[Lower(norm)];
    if (k.Path.empty()) k.Path = norm;
    return k;
}

bool TSettingsStore::HasKey(const std::string& lowerPath) const {
    if (lowerPath.empty() || FKeys.count(lowerPath)) return true;
    // A parent exists with its children, as in the registry, without being
    // stored: paths sort so that those below it follow it directly.
    const std::string below = lowerPath + '\\';
    const auto it = FKeys.lower_bound(below);
    return it != FKeys.end() && it->first.compare(0, below.size(), below) == 0;
}

bool TSettingsStore::KeyExists(const std::string& path) const {
    const bool absolute = !path.empty() && path[0] == '\\';
    return HasKey(Lower(Normalise(absolute || !FOpen ? path : FCurrent + "\\" + path)));
}

bool TSettingsStore::OpenKey(const std::string& path, bool create) {
    const bool absolute = !path.empty() && path[0] == '\\';
    const std::string full = Normalise(absolute || !FOpen ? path : FCurrent + "\\" + path);
    if (!HasKey(Lower(full))) {
        if (!create) return false;
        MakeKey(full);
        FDirty = true;
    }
    FCurrent = full;
    FOpen = true;
    return true;
}

void TSettingsStore::CloseKey() {
    Flush();
    FOpen = false;
    FCurrent.clear();
}

const TSettingsStore::TKey* TSettingsStore::Current() const {
    if (!FOpen) return nullptr;
    auto it = FKeys.find(Lower(FCurrent));
    return it == FKeys.end() ? nullptr : &it->second;
}

void TSettingsStore::RequireKey() const {
    if (!FOpen) throw ESettingsError("No settings key is open");
}

const TSettingsStore::TValue* TSettingsStore::Find(const std::string& name) const {
    const TKey* key = Current();
    if (!key) return nullptr;
    auto it = key->Values.find(Lower(name));
    return it == key->Values.end() ? nullptr : &it->second;
}

bool TSettingsStore::ValueExists(const std::string& name) const {
    return Find(name) != nullptr;
}

int TSettingsStore::ReadInteger(const std::string& name) const {
    RequireKey();
    const TValue* v = Find(name);
    if (!v) throw ESettingsError("Settings value '" + name + "' does not exist");
    if (!v->IsInteger) throw ESettingsError("Settings value '" + name + "' is not an integer");
    return v->Integer;
}

bool TSettingsStore::ReadBool(const std::string& name) const {
    return ReadInteger(name) != 0;
}

std::string TSettingsStore::ReadString(const std::string& name) const {
    RequireKey();
    const TValue* v = Find(name);
    if (!v) return {};
    if (v->IsInteger) throw ESettingsError("Settings value '" + name + "' is not text");
    return v->Text;
}

void TSettingsStore::WriteInteger(const std::string& name, int value) {
    RequireKey();
    TValue& v = MakeKey(FCurrent).Values[Lower(name)];
    if (v.Name.empty()) v.Name = name;
    v.IsInteger = true;
    v.Integer = value;
    v.Text.clear();
    FDirty = true;
}

void TSettingsStore::WriteBool(const std::string& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TSettingsStore::WriteString(const std::string& name, const std::string& value) {
    RequireKey();
    TValue& v = MakeKey(FCurrent).Values[Lower(name)];
    if (v.Name.empty()) v.Name = name;
    v.IsInteger = false;
    v.Integer = 0;
    v.Text = value;
    FDirty = true;
}

bool TSettingsStore::DeleteValue(const std::string& name) {
    if (!FOpen) return false;
    const auto key = FKeys.find(Lower(FCurrent));
    if (key == FKeys.end() || !key->second.Values.erase(Lower(name))) return false;
    FDirty = true;
    return true;
}

std::uintmax_t TSettingsStore::FileSize() const {
    auto encoded = [](const std::string& t) {
        std::uintmax_t n = t.size();
        for (unsigned char c : t)
            if (NeedsEscape(c)) n += 2;
        return n;
    };
    std::uintmax_t n = 0;
    for (const auto& [lower, key] : FKeys) {
        if (key.Path.empty() && key.Values.empty()) continue;
        n += encoded(key.Path) + 3;
        for (const auto& [lname, v] : key.Values)
            n += encoded(v.Name) + 4 +
                 (v.IsInteger ? std::to_string(v.Integer).size() : encoded(v.Text));
    }
    return n;
}

bool TSettingsStore::Flush() {
    if (!FDirty) return true;
    // What Load would refuse is not written: the file keeps what it had.
    if (const std::uintmax_t size = FileSize(); size > kMaxFileSize) {
        FError = FFile + ": the settings would be too large to read back (" +
                 std::to_string(size) + " bytes)";
        return false;
    }
    std::ostringstream out;
    out << "# Settings; written by the program\n";
    for (const auto& [lower, key] : FKeys) {
        if (key.Path.empty() && key.Values.empty()) continue;
        out << '[' << Encode(key.Path) << "]\n";
        for (const auto& [lname, v] : key.Values) {
            out << Encode(v.Name) << '=';
            if (v.IsInteger)
                out << "i:" << v.Integer << '\n';
            else
                out << "s:" << Encode(v.Text) << '\n';
        }
    }
    const std::string text = out.str();
    std::error_code ec;
    const std::filesystem::path target(FFile);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    const std::string temp = FFile + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        f.write(text.data(), static_cast<std::streamsize>(text.size()));
        f.flush();
        if (!f) {
            f.close();
            std::filesystem::remove(temp, ec);
            FError = FFile + ": cannot write the settings file";
            return false;
        }
    }
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        FError = FFile + ": cannot replace the settings file";
        return false;
    }
    FDirty = false;
    return true;
}

} // namespace fw
