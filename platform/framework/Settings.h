#pragma once
// A file-backed settings store in place of the registry: keys are paths like
// "Software\\Orrendale\\Velmarch" holding named integer and text values.
// Key paths and value names compare without regard to case.
#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

namespace fw {

class ESettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string DefaultSettingsFile(); // $VEL_SETTINGS_FILE, else ~/.config/velmarch/settings.ini

class TSettingsStore {
public:
    explicit TSettingsStore(std::string file = DefaultSettingsFile());
    ~TSettingsStore(); // writes pending changes; never throws
    TSettingsStore(const TSettingsStore&) = delete;
    TSettingsStore& operator=(const TSettingsStore&) = delete;

    // A path starting with '\' is absolute; otherwise it is taken below the
    // open key. Without create a missing key is not opened.
    bool OpenKey(const std::string& path, bool create);
    // Writes pending changes and closes the key.
    void CloseKey();
    const std::string& CurrentPath() const { return FCurrent; }
    bool KeyExists(const std::string& path) const;

    bool ValueExists(const std::string& name) const;
    // Missing values and values of the other type throw ESettingsError, as
    // the registry does; ReadString of a missing value answers "".
    int ReadInteger(const std::string& name) const;
    void WriteInteger(const std::string& name, int value);
    bool ReadBool(const std::string& name) const; // an integer, non-zero is true
    void WriteBool(const std::string& name, bool value);
    std::string ReadString(const std::string& name) const;
    void WriteString(const std::string& name, const std::string& value);
    bool DeleteValue(const std::string& name);

    // Writes pending changes now (temp file, then rename). False on failure, and
    // for a file larger than a settings file may be (16 MB): the file is kept.
    bool Flush();
    const std::string& FileName() const { return FFile; }
    // What went wrong reading or writing the file ("" when nothing did).
    // Unreadable lines are skipped and reported here.
    const std::string& LastError() const { return FError; }

private:
    struct TValue {
        bool IsInteger = false;
        std::int32_t Integer = 0;
        std::string Text;
        std::string Name; // as first written
    };
    struct TKey {
        std::string Path;                     // as first written
        std::map<std::string, TValue> Values; // by lower-case name
    };

    void Load();
    // The bytes Flush would write, the header line aside.
    std::uintmax_t FileSize() const;
    const TKey* Current() const;
    const TValue* Find(const std::string& name) const;
    // Makes the key alone: its parents exist through it (HasKey).
    TKey& MakeKey(const std::string& path);
    bool HasKey(const std::string& lowerPath) const;
    void RequireKey() const;

    std::string FFile;
    std::string FCurrent; // normalised path of the open key, "" when none
    bool FOpen = false;
    bool FDirty = false;
    std::string FError;
    std::map<std::string, TKey> FKeys; // by lower-case path; parents are not stored
};

} // namespace fw
