#pragma once
// The updater Brelmor自动更新 as the main program carries it: the built program file, embedded byte
// for byte (library quovanta_updater_image, client/CMakeLists.txt). Written beside the main program
// and started by the version check.
#ifdef __cplusplus
extern "C" {
#endif

extern const unsigned char EmbeddedUpdater[];
extern const unsigned EmbeddedUpdater_size;

#ifdef __cplusplus
}
#endif
