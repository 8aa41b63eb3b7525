#pragma once
// Free routines over the host scene: walks, membership, depth-first positions,
// names, texts in host files, and the geometry helpers that build host value
// records and place nodes. They keep no state.
//
// Stale handles: IsSceneObjectOfType, SafeDeleteObject and
// GetSelectedObjectOfType catch every exception and answer False / none; the
// others rely on the host answering 0 or doing nothing for a stale handle.
#include <cstdint>
#include <functional>
#include <string>

#include "tsxapi.h"

namespace vel {

// ---- walks ----
// A callback sets stop to end the walk early.
using TNodeProc = void (*)(CtsxSobj node, void* data, bool& stop);
using TNodeMethod = std::function<void(CtsxSobj node, bool& stop)>;

// Pre-order over the sibling chain that begins at first, each node followed by
// its whole subtree. Answers whether a callback stopped the walk.
bool ForEachNode(CtsxSobj first, TNodeProc proc, void* data);
bool ForEachNodeMethod(CtsxSobj first, const TNodeMethod& method);
// node itself, then the chain of its children; node's siblings are not visited.
bool ForEachNodeInTree(CtsxSobj node, TNodeProc proc, void* data);
bool ForEachNodeInTreeMethod(CtsxSobj node, const TNodeMethod& method);

// ---- membership and safety ----
// node is first, a following sibling of first, or a descendant of either.
bool IsNodeInChain(CtsxSobj node, CtsxSobj first);
bool IsNodeInScene(CtsxSobj node);
// A live object of at least minType in the scene; False on any exception.
bool IsSceneObjectOfType(CtsxSobj object, int minType) noexcept;
// Deletes object when it is set and in the scene; swallows every exception;
// object is none afterwards in every case.
void SafeDeleteObject(CtsxSobj& object) noexcept;
// The selection when it is of at least minType, else none (also on exceptions).
CtsxSobj GetSelectedObjectOfType(int minType) noexcept;
bool IsNonRootNode(CtsxSobj node);

// ---- depth-first positions (1-based pre-order over every node) ----
// 0 when node is not reached by the walk, so a stored position never names
// another node.
std::int32_t GetNodeIndexInScene(CtsxSobj node);
std::int32_t GetNodeIndexInChain(CtsxSobj node, CtsxSobj first);
// None for index < 1 or past the last node.
CtsxSobj GetNodeAtIndexInScene(std::int32_t index);
CtsxSobj GetNodeAtIndexInChain(std::int32_t index, CtsxSobj first);

// ---- names (any length) ----
std::string GetNodeName(CtsxSobj node);     // "" for no node
std::string GetNodeFullName(CtsxSobj node); // "" for no node
CtsxSobj FindNodeByFullName(const std::string& name);
// First node of type >= 100 (groups and objects) whose own name equals name
// exactly, pre-order from start (the scene's first node when start is none).
CtsxSobj FindObjectByName(const std::string& name, CtsxSobj start = nullptr);
CtsxSobj FindObjectByNameIn(const std::string& name, CtsxSobj first);
// "Bone,12" -> ("Bone", 12); with no comma after the first character, or a
// rest that is not a 32-bit integer: (text, 0).
void SplitNameAndNumber(const std::string& text, std::string& name, std::int32_t& number);

// ---- texts in host files: int32 length (LE), then the bytes, no terminator ----
// False when the host took fewer bytes than asked (or the text exceeds int32).
bool WriteHostString(CtsxFILE fd, const std::string& text);
// Refuses a negative length, one above maxLength and a short read; text is
// changed only on success. error (when given) receives the reason.
bool ReadHostString(CtsxFILE fd, std::string& text, std::int32_t maxLength = INT32_MAX,
                    std::string* error = nullptr);

// ---- module folder ----
// folder := the folder (with trailing separator) of the loaded module of that
// file name; left as it was when no such module is loaded.
void GetModuleDirectory(const std::string& moduleName, std::string& folder);

// ---- geometry (32-bit floats through the host's arithmetic) ----
extern const CtsxAxes3f IdentityAxes3f;
extern const CtsxTxmx3f IdentityTxmx3f;

void MakeVec3f(CtsxVec3f& v, float x, float y, float z);
float SquaredLength3f(const CtsxVec3f& v);
void MxToEuler(const CtsxTxmx3f& m, CtsxEuler3f& e);
// Row 0 := dir (as given), rows 1 and 2 unit vectors completing the frame
// (up x dir, then dir x that), translation 0. When up is not a usable unit
// vector or is parallel to dir, another axis not parallel to dir stands in.
void MakeFrameFromDirection(const CtsxVec3f& dir, const CtsxVec3f& up, CtsxTxmx3f& m);
// b expressed in a's frame: r := inverse(a) x b.
void RelativeMx(const CtsxTxmx3f& a, const CtsxTxmx3f& b, CtsxTxmx3f& r);
// Sets node to (m's rotation x rot) with m's translation added back.
void RotateNodeKeepPosition(CtsxSobj node, const CtsxTxmx3f& m, const CtsxTxmx3f& rot);

// ---- finite numbers only ----
// The rig writes nothing but finite numbers to the scene: an infinity or a NaN
// in a node, a vertex or a key spreads through everything computed from it and
// into the saved scene. The setters below refuse, writing nothing and
// answering false, a value (or a result) that is not finite.
bool IsFinite(const CtsxVec3f& v);
bool IsFinite(const CtsxEuler3f& e);
bool IsFinite(const CtsxTxmx3f& m);
bool SetNodeLocation(CtsxSobj node, const CtsxVec3f& location);
bool SetNodeSize(CtsxSobj node, const CtsxVec3f& size);
bool SetNodeRotationFromMx(CtsxSobj node, const CtsxTxmx3f& m);
// Rotation then location of node from m; neither unless both are finite.
bool SetNodeTransform(CtsxSobj node, const CtsxTxmx3f& m);

} // namespace vel
