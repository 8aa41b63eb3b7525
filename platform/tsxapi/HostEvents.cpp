// Callbacks, extension objects, custom data, view drawing and plug-in control.
#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "HostState.h"

namespace tsxhost::detail {

void Notify(Node* n, int code, int param) {
    if (!n || n->watchers.empty()) return;
    const std::uint64_t id = n->id;
    const std::vector<tsxNotifyFn> watchers = n->watchers; // a callback may unwatch
    for (tsxNotifyFn cb : watchers) {
        auto it = S().nodes.find(id);
        if (it == S().nodes.end()) return;
        tsxObjectNotifyMessage msg{code, param, {0, 0}};
        cb(Handle(it->second.get()), &msg);
    }
}

void FireSelectionChanged() {
    if (S().selectionCB) S().selectionCB();
}

std::uint8_t* CreateBlock(Node* n, int tag) {
    auto t = S().tags.find(tag);
    if (n == S().scene || t == S().tags.end()) return nullptr;
    const auto size = static_cast<std::size_t>(t->second.size);
    auto& block = n->blocks[tag];
    if (!block) block = std::make_unique<std::uint8_t[]>(size);
    std::memset(block.get(), 0, size);
    return block.get();
}

void FireGeneralEvent(int code) {
    tsxEventGeneralData data{code};
    const auto list = S().eventCBs[TSX_EVENT_GENERAL];
    for (tsxEventFn cb : list)
        cb(TSX_EVENT_GENERAL, &data);
}

} // namespace tsxhost::detail

using namespace tsxhost::detail;

extern "C" {

void tsxGetTsVersionNbrs(short* first, short* second) {
    TSX_LOG(first, second);
    if (first) *first = S().version1;
    if (second) *second = S().version2;
}

void* tsxGetMainViewHwnd(void) {
    TSX_LOG();
    return S().mainView;
}

void tsxForceLeftClick(int pluginId) {
    TSX_LOG(pluginId);
    tsxOnLeftClickFn click = S().plugin.OnLeftClick;
    // Not attached: a plug-in linked into the program itself, when it exports its entry.
    if (!click) click = reinterpret_cast<tsxOnLeftClickFn>(dlsym(RTLD_DEFAULT, "tsxOnLeftClick"));
    if (click) click();
}

void tsxAllViewsRefresh(void) {
    TSX_LOG();
    MarkViewsDirty();
}

void tsxSelectionChangedCB(int pluginId, tsxSelectionChangedFn callback) {
    TSX_LOG(pluginId, reinterpret_cast<void*>(callback));
    S().selectionCB = callback;
}

void tsxOnDestroyCB(int pluginId, tsxOnDestroyFn callback) {
    TSX_LOG(pluginId, reinterpret_cast<void*>(callback));
    S().destroyCB = callback;
}

void tsxActiveTimeChangedCB(int pluginId, tsxActiveTimeChangedFn callback) {
    TSX_LOG(pluginId, reinterpret_cast<void*>(callback));
    S().timeCB = callback;
}

void tsxCurrobjMoveCB(int pluginId, tsxCurrobjMoveFn callback) {
    TSX_LOG(pluginId, reinterpret_cast<void*>(callback));
    S().moveCB = callback;
}

void tsxRegisterEventCallback(int eventClass, tsxEventFn callback, int flag) {
    TSX_LOG(eventClass, reinterpret_cast<void*>(callback), flag);
    if (!callback) return;
    auto& list = S().eventCBs[eventClass];
    auto it = std::find(list.begin(), list.end(), callback);
    if (flag && it == list.end()) list.push_back(callback);
    if (!flag && it != list.end()) list.erase(it);
}

void tsxRegisterNotifyCallback(CtsxSobj obj, tsxNotifyFn callback, int flag) {
    TSX_LOG(obj, reinterpret_cast<void*>(callback), flag);
    Node* n = Obj(obj);
    if (!n || !callback) return;
    auto it = std::find(n->watchers.begin(), n->watchers.end(), callback);
    if (flag && it == n->watchers.end()) n->watchers.push_back(callback);
    if (!flag && it != n->watchers.end()) n->watchers.erase(it);
}

int tsxObjectDefine(int pluginId, const char* typeName, tsxExtObjCallbacks* callbacks,
                    int reserved) {
    TSX_LOG(pluginId, typeName, callbacks, reserved);
    TSX_FAULT(0);
    if (!typeName || !callbacks) return 0;
    auto& types = S().extTypes;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (types[i].name == typeName) {
            types[i].cb = *callbacks;
            return TSX_TYPE_EXTFIRST + static_cast<int>(i);
        }
    }
    types.push_back(ExtType{typeName, *callbacks, pluginId});
    return TSX_TYPE_EXTFIRST + static_cast<int>(types.size()) - 1;
}

CtsxSobj tsxObjectCreate(int type) {
    TSX_LOG(type);
    TSX_FAULT(nullptr);
    const auto& types = S().extTypes;
    if (type < TSX_TYPE_EXTFIRST || type - TSX_TYPE_EXTFIRST >= static_cast<int>(types.size()))
        return nullptr;
    const std::string& name = types[static_cast<std::size_t>(type - TSX_TYPE_EXTFIRST)].name;
    Node* n = NewNode(type, name);
    n->extTypeName = name;
    return Handle(n);
}

int tsxDataDefine(int pluginId, const char* tagName, tsxDataDefinition* definition, int blockSize) {
    TSX_LOG(pluginId, tagName, definition, blockSize);
    TSX_FAULT(0);
    State& s = S();
    if (!tagName || !definition || blockSize <= 0 || blockSize > (1 << 20)) return 0;
    for (auto& [handle, tag] : s.tags) {
        if (tag.name == tagName) {
            if (tag.size != blockSize) return 0; // blocks already made keep their size
            tag.def = *definition;
            return handle;
        }
    }
    int handle = 512 + s.nextTag++;
    s.tags.emplace(handle, DataTag{tagName, *definition, blockSize});
    return handle;
}

void* tsxSobjGetData(CtsxSobj obj, int tag) {
    TSX_LOG(obj, tag);
    TSX_FAULT(nullptr);
    Node* n = Obj(obj);
    if (!n) return nullptr;
    auto it = n->blocks.find(tag);
    return it == n->blocks.end() ? nullptr : it->second.get();
}

void* tsxSobjCreateData(CtsxSobj obj, int tag) {
    TSX_LOG(obj, tag);
    TSX_FAULT(nullptr);
    Node* n = Obj(obj);
    return n ? CreateBlock(n, tag) : nullptr;
}

void tsxAViewSetPen(tsxPEN pen) {
    TSX_LOG(pen);
    S().pen = static_cast<int>(pen);
}

tsxBOOL tsxAViewDrawLinelist(const CtsxTxmx3f* m, const CtsxVec3f* vxs, int nbrVxs,
                             const int32_t* indices, CtsxRect* rect) {
    TSX_LOG(m, vxs, nbrVxs, indices, rect);
    TSX_FAULT(0);
    State& s = S();
    if (s.drawingView < 0 || !m || !vxs || !indices || nbrVxs <= 0) return 0;
    const Affine a = FromTxmx(*m);
    auto& lines = s.views[static_cast<std::size_t>(s.drawingView)].lines;
    tsxhost::DrawnLines cur{s.pen, {}};
    auto flush = [&] {
        if (cur.points.size() >= 2) lines.push_back(cur);
        cur.points.clear();
    };
    // An unterminated list is cut off rather than walked forever.
    for (int k = 0; k < (1 << 20); ++k) {
        const std::int32_t i = indices[k];
        if (i == -1) break;
        if (i < 0 || i >= nbrVxs) {
            flush();
            continue;
        }
        cur.points.push_back(ToF(Apply(a, ToVec(vxs[i]))));
    }
    flush();
    return 1;
}

} // extern "C"
