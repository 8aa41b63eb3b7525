#pragma once
// Host files for the record targets: the input as a file to read, and the
// bytes a writer leaves as a seed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "Records.h"
#include "TsxHost.h"

namespace fuzzrec {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Written(const std::function<void(vel::TRecordWriter&)>& write) {
    CtsxFILE fd = tsxhost::OpenWriteFile();
    vel::TRecordWriter out(fd);
    write(out);
    Bytes bytes = tsxhost::FileBytes(fd);
    tsxhost::CloseFile(fd);
    return bytes;
}

// Runs read over the input as one host file.
inline void ReadInput(const std::uint8_t* data, std::size_t size,
                      const std::function<void(CtsxFILE)>& read) {
    CtsxFILE fd = tsxhost::OpenReadFile(Bytes(data, data + size));
    read(fd);
    tsxhost::CloseFile(fd);
}

// What was read goes out again through the writers, which must cope with it.
inline void WriteBack(const std::function<void(vel::TRecordWriter&)>& write) {
    Written(write);
}

} // namespace fuzzrec
