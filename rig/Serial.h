#pragma once
// A number no other object of the process has had or will have. A window
// that must know a rig object again keeps its serial, not its address: a
// freed object's address may come back for a new one, its number never
// does. A copy is an object of its own and takes a number of its own.
//
// The numbers rise with one count that also stamps what the rig learns of
// the host's objects (HostRefs.h), so a serial tells what was noted before
// its object was made.
#include <cstdint>

namespace vel {

struct TSerial {
    std::uint64_t Value = Next();
    TSerial() = default;
    TSerial(const TSerial&) : Value(Next()) {}
    TSerial& operator=(const TSerial&) {
        Value = Next();
        return *this;
    }
    // The next number of the count.
    static std::uint64_t Next();
};

} // namespace vel
