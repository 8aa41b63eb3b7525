#pragma once
// Stored property records, the form layouts, grids and their collections are
// written in (little-endian): a record is a class name (32-bit length and
// text), then properties, each a name (8-bit length and text), a value type
// byte and the value, closed by an empty name. A binary value is a 32-bit
// length and its bytes; a collection a 32-bit item count and per item a
// property list closed the same way; a reference to a component its name.
//
// Readers trust nothing: lengths and counts are checked against what is left,
// and a value of the wrong type or out of range is an EReadError naming the
// property.
#include "TSCommon.h"

#include <functional>
#include <string>

namespace vel {

enum TtsValueType : std::uint8_t {
    vtInteger = 1,
    vtBoolean = 2,
    vtString = 3,
    vtBinary = 4,
    vtCollection = 5,
    vtSet = 6, // older kind-set form: a count and element names
    vtFloat = 7,
    vtIdent = 8, // a component by name
};

void WriteStoredName(TStream& s, const std::string& name);
std::string ReadStoredName(TStream& s);
// Integers, Booleans, texts and numbers; other values as integers.
void WriteStoredProp(TStream& s, const std::string& name, const TtsVariant& v);
void WriteStoredIdent(TStream& s, const std::string& name, const std::string& component);
void WriteStoredBinary(TStream& s, const std::string& name, const std::vector<std::uint8_t>& bytes);
// A setting written only when it differs from its default (a record keeps the rest).
void WriteStoredSetting(TStream& s, const char* name, bool v, bool byDefault);
void WriteStoredSetting(TStream& s, const char* name, std::int32_t v, std::int32_t byDefault);
// A value of a simple type (integer, Boolean, text, identifier as text, number).
TtsVariant ReadStoredValue(TStream& s, std::uint8_t type);
// The bytes of a binary value, checked against what is left.
std::vector<std::uint8_t> ReadStoredBinary(TStream& s);
// An item count: each item needs at least its closing byte.
std::int32_t ReadStoredCount(TStream& s);

// One stored property of a record or item; binary values carry their bytes.
struct TtsStoredProp {
    std::string Name;
    std::uint8_t Type = 0;
    TtsVariant Value;
    std::vector<std::uint8_t> Bytes;
};
// Visits the properties of one item until its closing empty name; collections
// and sets are refused.
void ReadStoredItem(TStream& s, const std::function<void(const TtsStoredProp&)>& f);

// A value read as the type the property has, or EReadError.
std::int32_t StoredInt(const TtsVariant& v, const std::string& name);
bool StoredBool(const TtsVariant& v, const std::string& name);
std::string StoredText(const TtsVariant& v, const std::string& name);
double StoredFloat(const TtsVariant& v, const std::string& name);
// An enumeration value checked against its highest member.
std::uint8_t StoredEnum(const TtsVariant& v, const std::string& name, int highest);
// An integer within lo..hi.
std::int32_t StoredRange(const TtsVariant& v, const std::string& name, int lo, int hi);

} // namespace vel
