#pragma once
// Data the updater carries, embedded at build time (updater/CMakeLists.txt). The updater has copies of
// its own, apart from the main program's, because the main program carries the built updater.
#ifdef __cplusplus
extern "C" {
#endif

// The skin library (platform/skin), a 32-bit DLL image mapped from memory at start-up.
extern const unsigned char UpdaterSkinLibrary[];
extern const unsigned UpdaterSkinLibrary_size;

// The skin data handed to the skin library.
extern const unsigned char UpdaterSkinData[];
extern const unsigned UpdaterSkinData_size;

// The 500 x 100 bitmap of the page "更新完成".
extern const unsigned char UpdaterFinishPicture[];
extern const unsigned UpdaterFinishPicture_size;

#ifdef __cplusplus
}
#endif
