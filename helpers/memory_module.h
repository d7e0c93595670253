#pragma once
// In-memory module loader: maps a 32-bit DLL image held in memory into the process the way the system
// loader maps a DLL file (reserve, copy headers and sections, rebase, bind imports, protect, call the
// entry point), without ever writing it to a file.
//
// The loader takes nothing from the program's own import table: each operation finds kernel32 through
// the process's loaded-module list and takes the system functions it uses from there.
#include <windows.h>
#include <cstdint>

// One mapped image. Allocated from the process heap; owns the image memory, the handle array and every
// module handle in it.
struct MemoryModule {
    IMAGE_NT_HEADERS32* ntHeaders;  // the PE headers inside the mapped image
    unsigned char* imageBase;       // first byte of the mapped image
    HMODULE* importedModules;       // heap array, one handle per import descriptor bound, in order
    int32_t importedModuleCount;
    uint32_t isInitialised;         // 1 once the entry point accepted DLL_PROCESS_ATTACH
};

// The system functions the loader uses, always in this order.
struct LoaderApiTable {
    BOOL(WINAPI* virtualProtect)(LPVOID, SIZE_T, DWORD, PDWORD);
    HMODULE(WINAPI* loadLibraryA)(LPCSTR);
    LPVOID(WINAPI* virtualAlloc)(LPVOID, SIZE_T, DWORD, DWORD);
    BOOL(WINAPI* virtualFree)(LPVOID, SIZE_T, DWORD);
    BOOL(WINAPI* isBadReadPtr)(const void*, UINT_PTR);
    HANDLE(WINAPI* getProcessHeap)();
    BOOL(WINAPI* freeLibrary)(HMODULE);
    FARPROC(WINAPI* getProcAddress)(HMODULE, LPCSTR);
    BOOL(WINAPI* heapFree)(HANDLE, DWORD, LPVOID);
    LPVOID(WINAPI* heapAlloc)(HANDLE, DWORD, SIZE_T);
    LPVOID(WINAPI* heapReAlloc)(HANDLE, DWORD, LPVOID, SIZE_T);
};

// Fills the table from kernel32, found as the module named "kernel32.dll" (any letter case) in the
// loaded-module list in initialisation order. Every field stays null when it cannot be found.
void ResolveLoaderApis(LoaderApiTable* table);

// Maps the DLL file image that starts at `image`; null when it is not a PE image, cannot be placed,
// or an import, the handle array or the entry point fails (everything acquired is then given back).
MemoryModule* MapMemoryModule(const void* image);
MemoryModule* LoadMemoryModule(const void* image);

// The protection pass over the sections of a mapped image (part of MapMemoryModule).
void FinalizeModuleSections(MemoryModule* module);

// Address of the export named exactly `name` (case-sensitive, first of equal names), 0 when there is
// none. There is no lookup by ordinal; a forwarded export is returned as its raw address in the image.
FARPROC FindModuleExportByName(MemoryModule* module, const char* name);
FARPROC GetMemoryModuleExport(MemoryModule* module, const char* name);

// Detaches (when initialised), frees the bound modules and releases the image and the record.
// A null module is ignored.
void FreeMemoryModule(MemoryModule* module);
