// Stored texts (a 32-bit length and that many characters) read from a host file.
#include <string>

#include "FuzzTarget.h"
#include "TsxHelper.h"
#include "TsxHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CtsxFILE fd = tsxhost::OpenReadFile(std::vector<std::uint8_t>(data, data + size));
    std::string text;
    while (vel::ReadHostString(fd, text)) {
    }
    tsxhost::CloseFile(fd);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    CtsxFILE fd = tsxhost::OpenWriteFile();
    vel::WriteHostString(fd, "abc");
    vel::WriteHostString(fd, "");
    vel::WriteHostString(fd, std::string(300, 'x'));
    auto bytes = tsxhost::FileBytes(fd);
    tsxhost::CloseFile(fd);
    return {bytes};
}
