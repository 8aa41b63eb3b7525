#include "TSStoredProps.h"

#include <cmath>

namespace vel {

void WriteStoredName(TStream& s, const std::string& name) {
    s.WriteU8(static_cast<std::uint8_t>(name.size()));
    s.WriteBuffer(name.data(), name.size());
}

std::string ReadStoredName(TStream& s) {
    const std::uint8_t n = s.ReadU8();
    std::string name(n, '\0');
    s.ReadBuffer(name.data(), n);
    return name;
}

void WriteStoredProp(TStream& s, const std::string& name, const TtsVariant& v) {
    WriteStoredName(s, name);
    if (auto* b = std::get_if<bool>(&v)) {
        s.WriteU8(vtBoolean);
        s.WriteU8(*b ? 1 : 0);
    } else if (auto* t = std::get_if<std::string>(&v)) {
        s.WriteU8(vtString);
        s.WriteText(*t);
    } else if (auto* d = std::get_if<double>(&v)) {
        s.WriteU8(vtFloat);
        s.WriteF64(*d);
    } else {
        s.WriteU8(vtInteger);
        s.WriteI32(VarAsInteger(v));
    }
}

void WriteStoredIdent(TStream& s, const std::string& name, const std::string& component) {
    WriteStoredName(s, name);
    s.WriteU8(vtIdent);
    s.WriteText(component);
}

void WriteStoredBinary(TStream& s, const std::string& name,
                       const std::vector<std::uint8_t>& bytes) {
    WriteStoredName(s, name);
    s.WriteU8(vtBinary);
    s.WriteI32(static_cast<std::int32_t>(bytes.size()));
    s.WriteBuffer(bytes.data(), bytes.size());
}

void WriteStoredSetting(TStream& s, const char* name, bool v, bool byDefault) {
    if (v != byDefault) WriteStoredProp(s, name, TtsVariant(v));
}

void WriteStoredSetting(TStream& s, const char* name, std::int32_t v, std::int32_t byDefault) {
    if (v != byDefault) WriteStoredProp(s, name, TtsVariant(v));
}

TtsVariant ReadStoredValue(TStream& s, std::uint8_t type) {
    switch (type) {
    case vtInteger:
        return TtsVariant(s.ReadI32());
    case vtBoolean: {
        const std::uint8_t b = s.ReadU8();
        if (b > 1) throw EReadError("Invalid stored Boolean");
        return TtsVariant(b == 1);
    }
    case vtString:
    case vtIdent:
        return TtsVariant(s.ReadText());
    case vtFloat: {
        const double d = s.ReadF64();
        if (!std::isfinite(d)) throw EReadError("Invalid stored number");
        return TtsVariant(d);
    }
    default:
        throw EReadError("Invalid property value type");
    }
}

std::vector<std::uint8_t> ReadStoredBinary(TStream& s) {
    const std::int32_t n = s.ReadI32();
    if (n < 0 || n > s.Remaining()) throw EReadError("Stored block length out of range");
    return s.ReadBlock(static_cast<std::size_t>(n));
}

std::int32_t ReadStoredCount(TStream& s) {
    const std::int32_t n = s.ReadI32();
    if (n < 0 || n > s.Remaining()) throw EReadError("Stored item count out of range");
    return n;
}

void ReadStoredItem(TStream& s, const std::function<void(const TtsStoredProp&)>& f) {
    for (;;) {
        TtsStoredProp p;
        p.Name = ReadStoredName(s);
        if (p.Name.empty()) return;
        p.Type = s.ReadU8();
        if (p.Type == vtBinary)
            p.Bytes = ReadStoredBinary(s);
        else
            p.Value = ReadStoredValue(s, p.Type);
        f(p);
    }
}

std::int32_t StoredInt(const TtsVariant& v, const std::string& name) {
    if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
    throw EReadError("Property " + name + " is not an integer");
}

bool StoredBool(const TtsVariant& v, const std::string& name) {
    if (auto* b = std::get_if<bool>(&v)) return *b;
    throw EReadError("Property " + name + " is not a Boolean");
}

std::string StoredText(const TtsVariant& v, const std::string& name) {
    if (auto* t = std::get_if<std::string>(&v)) return *t;
    throw EReadError("Property " + name + " is not a text");
}

double StoredFloat(const TtsVariant& v, const std::string& name) {
    if (auto* d = std::get_if<double>(&v)) return *d;
    if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
    throw EReadError("Property " + name + " is not a number");
}

std::uint8_t StoredEnum(const TtsVariant& v, const std::string& name, int highest) {
    return static_cast<std::uint8_t>(StoredRange(v, name, 0, highest));
}

std::int32_t StoredRange(const TtsVariant& v, const std::string& name, int lo, int hi) {
    const std::int32_t i = StoredInt(v, name);
    if (i < lo || i > hi) throw EReadError("Property " + name + " out of range");
    return i;
}

} // namespace vel
