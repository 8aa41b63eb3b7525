// The tree stream's fixed records (the streams themselves are the framework's).
#pragma once

#include "LazyTrees.h"

#include <cstddef>
#include <cstdint>

namespace vel {

// Tree stream records.
#pragma pack(push, 1)
struct TChunkHeader {
    std::uint32_t ChunkType;
    std::int32_t ChunkSize;
};
struct TChunkBaseV2 {
    std::uint32_t ChildCount;
    std::uint32_t NodeHeight;
    std::uint16_t States;
    std::uint8_t Align;
    std::uint8_t CheckState;
    std::uint8_t CheckType;
    std::uint32_t Reserved;
};
struct TChunkBaseV1 {
    std::uint32_t ChildCount;
    std::uint32_t NodeHeight;
    std::uint8_t States;
    std::uint8_t Align;
    std::uint8_t CheckState;
    std::uint8_t CheckType;
};
#pragma pack(pop)
static_assert(sizeof(TChunkHeader) == 8);
static_assert(sizeof(TChunkBaseV2) == 17);
static_assert(sizeof(TChunkBaseV1) == 12);

constexpr std::uint32_t NodeChunk = 1;
constexpr std::uint32_t BaseChunk = 2;
constexpr std::uint32_t CaptionChunk = 3;
constexpr std::uint32_t UserChunk = 4;
// States that a stream keeps: all but these passing ones.
constexpr TLazyNodeStates StoredStatesMask = static_cast<TLazyNodeStates>(
    ~(vsChecking | vsCutOrCopy | vsDeleting | vsInitialUserData | vsHeightMeasured));
constexpr std::uint16_t TreeStreamVersion = 2;
// Levels a node chunk may hold, the node's own included: readers and writers agree.
constexpr std::uint32_t MaxStreamDepth = 1000000;
constexpr std::size_t MagicSize = 12;

} // namespace vel
