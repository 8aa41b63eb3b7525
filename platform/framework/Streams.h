#pragma once
// Byte streams: the stream errors.
#include <stdexcept>

namespace fw {

// A stream that cannot do what was asked (file missing, write refused...).
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A read past the end of a stream, or a stored value that cannot be right.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

} // namespace fw
