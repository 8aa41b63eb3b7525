#pragma once
// Files for the readers that take a path. libFuzzer's fork mode and CTest run
// several processes at once, so the folder is this process's own; it goes
// when the process ends. It lies in memory where the system offers a folder
// there: a settings input is written and read four times.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include <unistd.h>

namespace fuzzfile {

class TScratchDir {
public:
    TScratchDir() : FPath(Base() / ("vel-fuzz-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(FPath);
    }
    ~TScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;
    const std::filesystem::path& Path() const { return FPath; }

private:
    static std::filesystem::path Base() {
        std::error_code ec;
        if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
        return std::filesystem::temp_directory_path();
    }

    std::filesystem::path FPath;
};

inline const std::filesystem::path& ScratchDir() {
    static const TScratchDir dir;
    return dir.Path();
}

// The bytes as the file `name` in the scratch folder; answers its path.
inline std::string WriteScratch(const std::string& name, const std::uint8_t* data,
                                std::size_t size) {
    const std::filesystem::path path = ScratchDir() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path.string();
}

inline std::string ReadScratch(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace fuzzfile
