#pragma once
// The extra stored properties of components: values a component reads and
// writes itself (DefineProperties), beside the ones its window definition
// sets through their setters. A definition's extra values are kept by name;
// reading them runs with the component loading and ends with Loaded.
#include "Classes.h"
#include "Streams.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace fw {

// A number, a text, a wide text, a list of identifiers (a set), or bytes.
using TFilerValue = std::variant<std::int64_t, std::string, std::u16string,
                                 std::vector<std::string>, std::vector<std::uint8_t>>;
using TFilerValues = std::map<std::string, TFilerValue>;

class TFiler {
public:
    virtual ~TFiler() = default;
    // The same component of the ancestor definition when writing only what
    // differs from it; null otherwise.
    TComponent* Ancestor() const { return FAncestor; }
    // Read (may be empty: never read) gets the stored value; Write (may be
    // empty: never written) gives it, asked only when HasData is true.
    virtual void DefineProperty(const std::string& Name,
                                const std::function<void(const TFilerValue&)>& Read,
                                const std::function<TFilerValue()>& Write, bool HasData) = 0;
    // The same for a block of bytes, read from and written to a stream.
    virtual void DefineBinaryProperty(const std::string& Name,
                                      const std::function<void(TStream&)>& Read,
                                      const std::function<void(TStream&)>& Write,
                                      bool HasData) = 0;

protected:
    TComponent* FAncestor = nullptr;
};

// Gives each stored value to the reader its name was defined with, while
// Component is loading, then calls Loaded. A value of the wrong kind or with
// no reader raises EReadError; the values read before it stay.
void ReadDefinedProperties(TComponent& Component, const TFilerValues& Values);
// The values Component writes, each only when it has data.
TFilerValues WriteDefinedProperties(TComponent& Component, TComponent* Ancestor = nullptr);

} // namespace fw
