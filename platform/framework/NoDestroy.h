#pragma once
// A static that is built on first use and never destroyed.
//
// At process exit the runtime destroys statics last built first, whichever
// library they live in, and a plug-in's finalization runs among those exit
// handlers. A static that a finalization or a late destructor may still
// reach (a window table, a hook chain, a registry) must therefore outlive
// every exit handler: it is declared `static TNoDestroy<T> x;` inside a
// function, which registers no destructor. What it owns stays reachable, so
// the leak checker does not report it; a unit that can be unloaded releases
// what it owns in its finalization instead.
#include <new>
#include <utility>

namespace fw {

template <class T> class TNoDestroy {
public:
    template <class... A> explicit TNoDestroy(A&&... Args) {
        ::new (static_cast<void*>(FStorage)) T(std::forward<A>(Args)...);
    }
    TNoDestroy(const TNoDestroy&) = delete;
    TNoDestroy& operator=(const TNoDestroy&) = delete;

    T& operator*() { return *Get(); }
    T* operator->() { return Get(); }
    T* Get() { return std::launder(reinterpret_cast<T*>(FStorage)); }

private:
    alignas(T) unsigned char FStorage[sizeof(T)];
};

} // namespace fw
