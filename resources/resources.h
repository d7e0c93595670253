#pragma once
// Data the programs carry, embedded at build time (resources/CMakeLists.txt).
#ifdef __cplusplus
extern "C" {
#endif

// The skin library (platform/skin), a 32-bit DLL image mapped from memory, never written to a file.
extern const unsigned char EmbeddedSkinLibrary[];
extern const unsigned EmbeddedSkinLibrary_size;

// The skin data handed to the skin library (format: platform/skin/skin_format.md).
extern const unsigned char EmbeddedSkinData[];
extern const unsigned EmbeddedSkinData_size;

// The alarm sound, an MP3 file written beside the program when it is missing.
extern const unsigned char EmbeddedAlarmSound[];
extern const unsigned EmbeddedAlarmSound_size;

// The empty database the list-view export writes to "db.tmp" before filling it: a database of the
// program's own engine (runtime/database.h) as a block of magic 0x033E0F0D, length and zlib stream.
// Made by make_db_template.py.
extern const unsigned char EmbeddedDatabaseTemplate[];
extern const unsigned EmbeddedDatabaseTemplate_size;

#ifdef __cplusplus
}
#endif
