#pragma once
// Whole files, the program directory, profile (INI) files and the environment.
#include "runtime/text.h"

// The whole file; false when it cannot be read (`out` is then empty).
bool ReadWholeFile(const Text& path, ByteSet& out);
// Creates or truncates the file and writes the bytes; false on any failure.
bool WriteWholeFile(const Text& path, const void* data, std::size_t size);
inline bool WriteWholeFile(const Text& path, const ByteSet& data) { return WriteWholeFile(path, data.data(), data.size()); }
bool FileExists(const Text& path);
bool DeleteFileAt(const Text& path);
// Whether two paths (UTF-16) name one file: the same file of the same volume when both exist, so that
// a short name, another letter case or another link counts too; otherwise the same full path without
// regard to letter case.
bool IsSameFile(const std::wstring& a, const std::wstring& b);

// The directory of the running program file, without a trailing backslash.
Text ProgramDirectory();

// The two parts of a path around its last separator ("\\" or "/"), which is looked for character by
// character: the second byte of a double-byte character (0x5C in 誠) is never taken for one. Without
// a separator the name is the whole path and the directory is empty.
Text PathFileName(const Text& path);
Text PathDirectory(const Text& path);

// Profile strings through the system's profile functions.
bool WriteIniText(const Text& path, const Text& section, const Text& key, const Text& value);
Text ReadIniText(const Text& path, const Text& section, const Text& key, const Text& fallback = Text());

// An environment variable of the process; empty when unset.
Text ReadEnvironment(const Text& name);
