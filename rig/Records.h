#pragma once
// The rig's records in host files: bones, bound children, skin areas, skin
// objects and their list, joints, bone and skeleton states. Every record
// starts with its own version; writers write the newest version, readers take
// the older ones field by field.
//
// The record operations of the rig classes (TBone::Save, TSkinArea::Read,
// TSkeletonState::Write, ...) are declared with their classes and defined in
// Records.cpp. They stream through TRecordWriter and TRecordReader, which do
// the little-endian encoding and keep the reason a read went wrong.
//
// The host's file functions say how many items a call moved and nothing about
// what is left, so a reader cannot size anything from a stored count: arrays
// grow as their items arrive, and the first short read ends the record.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tsxapi.h"

namespace vel {

static_assert(sizeof(CtsxVec3f) == 12, "vec3 layout");
static_assert(sizeof(CtsxTxmx3f) == 48, "mx layout");

// Versions the writers write.
inline constexpr std::uint32_t kBoneRecordVersion = 106;
inline constexpr std::uint32_t kSkinAreaVersion = 102;
inline constexpr std::uint32_t kSkinObjectVersion = 101;
inline constexpr std::uint32_t kSkinsListVersion = 100;
inline constexpr std::uint32_t kJointsStateVersion = 100;
inline constexpr std::uint32_t kBoneStateVersion = 100;
inline constexpr std::uint32_t kBonesStateVersion = 100;
inline constexpr std::uint32_t kSkeletonStateVersion = 101;
inline constexpr std::uint32_t kSkeletonStatesVersion = 100;

// The kind field of a bone record.
inline constexpr std::uint32_t kBoneKindPlain = 0;
inline constexpr std::uint32_t kBoneKindTee = 1;

// Bound children of bone records before version 106 carry their name in a
// fixed field of this size.
inline constexpr std::size_t kOldChildNameSize = 64;
// Old skin-object records name their mesh in at most this many characters.
inline constexpr std::int32_t kMaxOldMeshName = 1024;
// Skeleton states nest one level per attached skeleton; deeper than this is
// a damaged file, not a rig.
inline constexpr int kMaxStateNesting = 64;

// Writes fields little-endian; after the first write the host refuses, the
// rest are skipped.
class TRecordWriter {
public:
    explicit TRecordWriter(CtsxFILE file) : FFile(file) {}

    CtsxFILE File() const { return FFile; }
    bool Ok() const { return FOk; }

    void U8(std::uint8_t v);
    void U32(std::uint32_t v);
    void I32(std::int32_t v);
    void F32(float v);
    void Vec3(const CtsxVec3f& v);
    void Mx(const CtsxTxmx3f& m);
    // Stored text: u32 length, the characters, no terminator.
    void Text(const std::string& s);
    void Bytes(const void* data, std::size_t size);

private:
    CtsxFILE FFile;
    bool FOk = true;
};

// Reads fields little-endian. A read ends in one of two ways:
// - failed: a short read or a refused value left the record unusable; the
//   object it describes is dropped;
// - stopped: a refused part leaves the rest unreadable, but what was read
//   before it stands.
// Once either happened every further read answers false and reads nothing.
class TRecordReader {
public:
    explicit TRecordReader(CtsxFILE file) : FFile(file) {}

    CtsxFILE File() const { return FFile; }
    // Neither failed nor stopped.
    bool Active() const { return !FFailed && !FStopped; }
    bool Failed() const { return FFailed; }
    bool Stopped() const { return FStopped; }
    // The first reason given, "" while active.
    const std::string& Error() const { return FError; }
    // Bytes read so far; 0 after a failure on the first field means the
    // record was empty.
    std::size_t Consumed() const { return FConsumed; }

    // Both answer false so that readers can `return in.Fail(...)`.
    bool Fail(const std::string& why);
    bool Stop(const std::string& why);

    bool U8(std::uint8_t& v, const char* what);
    bool U32(std::uint32_t& v, const char* what);
    bool I32(std::int32_t& v, const char* what);
    // An i32 count or length: a negative one fails the record.
    bool Count(std::int32_t& n, const char* what);
    // A non-finite float fails the record.
    bool F32(float& v, const char* what);
    bool Vec3(CtsxVec3f& v, const char* what);
    bool Mx(CtsxTxmx3f& m, const char* what);
    // Stored text; a negative length or one above maxLength fails the record.
    bool Text(std::string& s, const char* what, std::int32_t maxLength = INT32_MAX);
    bool Bytes(void* data, std::size_t size, const char* what);

    // Nesting of skeleton states being read.
    int Depth = 0;

private:
    CtsxFILE FFile;
    bool FFailed = false;
    bool FStopped = false;
    std::size_t FConsumed = 0;
    std::string FError;
};

// The old mesh name of a skin-object record: i32 length (refused above 1024
// or below 0, which fails the record), then the characters.
bool ReadLimitedString(TRecordReader& in, std::string& s);

} // namespace vel
