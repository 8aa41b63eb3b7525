#include "SceneRecords.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace simhost {

namespace {

// Reads little-endian fields from a byte range; the first read past the end
// marks the cursor failed and answers zeros from then on.
class Cursor {
public:
    Cursor(const std::uint8_t* p, std::size_t n) : FP(p), FN(n) {}
    bool Ok() const { return FOk; }
    std::size_t Left() const { return FN - FAt; }
    bool Bytes(void* out, std::size_t n) {
        if (!FOk || n > Left()) return FOk = false;
        std::memcpy(out, FP + FAt, n);
        FAt += n;
        return true;
    }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        Bytes(&v, 4);
        return v;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    float F32() {
        float v = 0;
        Bytes(&v, 4);
        return v;
    }
    void Skip(std::size_t n) {
        if (n > Left())
            FOk = false;
        else
            FAt += n;
    }
    std::vector<std::uint8_t> Blob() {
        const std::uint32_t n = U32();
        if (!FOk || n > Left()) {
            FOk = false;
            return {};
        }
        std::vector<std::uint8_t> v(FP + FAt, FP + FAt + n);
        FAt += n;
        return v;
    }
    std::string Text() {
        const std::vector<std::uint8_t> b = Blob();
        return std::string(b.begin(), b.end());
    }

private:
    const std::uint8_t* FP;
    std::size_t FN;
    std::size_t FAt = 0;
    bool FOk = true;
};

bool ReadNode(Cursor& c, std::vector<std::string>& stack, SceneNode& node) {
    const std::uint32_t depth = c.U32();
    if (depth > stack.size()) return false;
    node.Type = c.I32();
    const std::string name = c.Text();
    node.ExtType = c.Text();
    stack.resize(depth);
    stack.push_back(name);
    for (const std::string& part : stack)
        node.Path += (node.Path.empty() ? "" : "/") + part;
    c.Skip(4 * (9 + 3 + 3) + 1 + 4 + 4 * 3); // transform, visibility, units, axes
    if (node.Type == 201 || node.Type == 217) {
        c.U32(); // material
        const std::uint32_t vertices = c.U32();
        if (vertices > c.Left() / 12) return false;
        for (std::uint32_t i = 0; i < vertices; ++i) {
            CtsxVec3f v;
            v.x = c.F32(), v.y = c.F32(), v.z = c.F32();
            node.Vertices.push_back(v);
        }
        const std::uint32_t faces = c.U32();
        for (std::uint32_t f = 0; f < faces && c.Ok(); ++f) {
            const std::uint32_t corners = c.U32();
            if (corners > c.Left() / 4) return false;
            c.Skip(4 * std::size_t{corners});
        }
        if (node.Type == 217) c.Skip(8);
    }
    const std::uint32_t keys = c.U32();
    for (std::uint32_t k = 0; k < keys && c.Ok(); ++k) {
        SceneKey key;
        key.Attribute = c.Text();
        key.Kind = c.I32();
        key.Time = c.F32();
        c.Skip(12); // spline parameters
        key.Data = c.Blob();
        node.Keys.push_back(std::move(key));
    }
    const std::uint32_t values = c.U32();
    for (std::uint32_t v = 0; v < values && c.Ok(); ++v) {
        c.Text();
        c.Blob();
    }
    const std::uint32_t blocks = c.U32();
    for (std::uint32_t b = 0; b < blocks && c.Ok(); ++b) {
        c.Text();
        c.Blob();
    }
    node.Record = c.Blob();
    return c.Ok();
}

} // namespace

bool ReadSceneNodes(const std::string& path, std::vector<SceneNode>& nodes, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = path + ": " + why;
        return false;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot open");
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    Cursor c(bytes.data(), bytes.size());
    char magic[8] = {};
    c.Bytes(magic, 8);
    if (std::memcmp(magic, "TSXSCENE", 8) != 0 || c.U32() != 1) return fail("not a scene file");
    nodes.clear();
    std::vector<std::string> stack;
    while (c.Ok()) {
        char tag[4] = {};
        c.Bytes(tag, 4);
        const std::uint32_t length = c.U32();
        if (!c.Ok() || length > c.Left()) return fail("truncated record");
        if (std::memcmp(tag, "END ", 4) == 0) return true;
        std::vector<std::uint8_t> body(length);
        if (length > 0) c.Bytes(body.data(), length);
        if (std::memcmp(tag, "NODE", 4) != 0) continue;
        Cursor nc(body.data(), body.size());
        SceneNode node;
        if (!ReadNode(nc, stack, node)) return fail("bad node record");
        nodes.push_back(std::move(node));
    }
    return fail("no end record");
}

} // namespace simhost
