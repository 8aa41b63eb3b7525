#pragma once
// The stand-in's scene file format (docs/host-standin.md) and the host files
// that extension objects and data tags read and write through.
#include <cstdint>
#include <string>
#include <vector>

#include "HostState.h"

namespace tsxhost::detail {

enum class LoadMode { Replace, Merge, Object };

// Answers false with a message, and no bytes, when one of the host's writes
// into an object's records fell short.
bool SerializeScene(std::vector<std::uint8_t>& out, std::string* error);
// Parses and checks bytes completely before touching the scene; answers
// false with a message when they are not a scene file.
bool LoadSceneBytes(const std::vector<std::uint8_t>& bytes, LoadMode mode, std::string* error,
                    Node** loadedObject = nullptr);
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string* error);
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string* error);

HostFile* NewReadFile(const std::uint8_t* data, std::size_t size);
HostFile* NewWriteFile();
void CloseHostFile(HostFile* f);

} // namespace tsxhost::detail
