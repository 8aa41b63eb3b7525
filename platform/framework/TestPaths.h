#pragma once
// Where a test writes its files. CTest runs every test as a process of its
// own, many at once, so a fixed name in the shared temporary folder lets one
// test read what another wrote: these paths belong to one process and one
// running test.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

namespace fw {

namespace detail {

// The folders this process made; at exit they go with whatever is left in them.
struct TTestDirs {
    std::vector<std::filesystem::path> Made;
    ~TTestDirs() {
        for (const auto& dir : Made) {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    }
};

inline TTestDirs& MadeTestDirs() {
    static TTestDirs dirs;
    return dirs;
}

} // namespace detail

// "Suite.Name" of the running test ("none" outside one), fit for a file name.
inline std::string TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name =
        info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("none");
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

// A folder of this process and the running test in the temporary folder, made
// on first use and removed with its contents when the process ends.
inline std::filesystem::path TestDir() {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vel-" + std::to_string(::getpid()) + "-" + TestName());
    if (!std::filesystem::exists(dir)) {
        std::filesystem::create_directories(dir);
        detail::MadeTestDirs().Made.push_back(dir);
    }
    return dir;
}

// A file of the running test: scratch files, scenes, settings.
inline std::string TestPath(const std::string& name) {
    return (TestDir() / name).string();
}

// A picture for a person to look at. With $VEL_RENDER_DIR set it is kept there,
// in a folder named after the test; otherwise it is a file of the running test.
inline std::string PicturePath(const std::string& name) {
    const char* keep = std::getenv("VEL_RENDER_DIR");
    if (!keep || !*keep) return TestPath(name);
    const auto dir = std::filesystem::path(keep) / TestName();
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

} // namespace fw
