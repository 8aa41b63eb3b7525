#pragma once
// Loaded modules (shared libraries) and floating-point state.
#include <string>

namespace fw {

using ModuleHandle = void*;

// Loads a library by path or by file name; a bare file name is looked for the
// usual way, then beside the program and beside this framework. Null on failure.
ModuleHandle LoadModule(const std::string& name);
// Drops one reference taken by LoadModule.
bool FreeModule(ModuleHandle module);
void* FindSymbol(ModuleHandle module, const char* name);
// Tests make chosen names fail to be found, as on a host that lacks them.
void FailSymbolLookup(const std::string& name);
void ClearFailedSymbolLookups();
// Full path of the module's file; a null module means the program itself.
std::string ModuleFileName(ModuleHandle module);
// A module already loaded under that base file name (compared without regard
// to case, as the platform does), or null. Takes no reference.
ModuleHandle FindLoadedModule(const std::string& fileName);
// The module holding addr, or null. Takes no reference.
ModuleHandle ModuleOfAddress(const void* addr);
// The last loader error, for messages.
std::string LastModuleError();

// Clears pending floating-point exception flags only; modes stay as they are.
void ClearFloatExceptions();

} // namespace fw
