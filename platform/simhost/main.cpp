// The host program: loads the host library and the plug-in the way the host
// application does, and drives the plug-in's main job.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Demo.h"
#include "TsxHost.h"
#include "tsxapi.h"

namespace {

std::string FieldText(const std::uint8_t* field, std::size_t size) {
    std::size_t n = 0;
    while (n < size && field[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(field), n);
}

void PrintDescriptor(const CtsxPluginData& data) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&data);
    std::uint16_t bmp = 0, str = 0;
    std::memcpy(&bmp, bytes + 96, 2);
    std::memcpy(&str, bytes + 98, 2);
    std::printf("name:   %s\n", FieldText(bytes, 32).c_str());
    std::printf("author: %s\n", FieldText(bytes + 32, 64).c_str());
    std::printf("bitmap resource: %u, string resource: %u\n", bmp, str);
}

struct Options {
    std::string Command = "info";
    std::string Plugin;
    std::string Maker;
    std::string OutDir = ".";
    bool Small = false;
};

Options ParseArgs(int argc, char** argv) {
    Options o;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    o.Plugin = (self.parent_path() / "VelmarchPro.tsx").string();
    o.Maker = (self.parent_path() / "simcharacter").string();
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--plugin" && i + 1 < args.size())
            o.Plugin = args[++i];
        else if (args[i] == "--out" && i + 1 < args.size())
            o.OutDir = args[++i];
        else if (args[i] == "--small")
            o.Small = true;
        else
            o.Command = args[i];
    }
    return o;
}

int LoadPlugin(const Options& o, CtsxPluginData& data) {
    std::string error;
    if (!tsxhost::LoadPluginModule(o.Plugin, &error)) {
        std::fprintf(stderr, "simhost: cannot load %s: %s\n", o.Plugin.c_str(), error.c_str());
        return -1;
    }
    std::memset(&data, 0, sizeof data);
    return tsxhost::LoadSequence(1, &data);
}

int Info(const Options& o) {
    CtsxPluginData data;
    const int version = LoadPlugin(o, data);
    if (version < 0) return 1;
    std::printf("plug-in: %s\ninterface version needed: %d\n", o.Plugin.c_str(), version);
    PrintDescriptor(data);
    tsxhost::UnloadPluginModule();
    return 0;
}

int Demo(const Options& o) {
    simhost::DemoOptions d;
    d.Plugin = o.Plugin;
    d.Maker = o.Maker;
    d.OutDir = o.OutDir;
    d.Small = o.Small;
    return simhost::RunDemo(d);
}

} // namespace

int main(int argc, char** argv) {
    const Options o = ParseArgs(argc, argv);
    if (o.Command == "info") return Info(o);
    if (o.Command == "demo") return Demo(o);
    std::fprintf(stderr, "usage: simhost [info|demo] [--plugin PATH] [--out DIR] [--small]\n");
    return 2;
}
