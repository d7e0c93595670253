#pragma once
// Web addresses cut from the platform's pages and handed to the system browser: only an address that
// begins with "http://" or "https://" (any letter case) and holds no control character goes to the
// shell; any other text (a path, a "javascript:" link, a command) is never opened. Every list command
// that opens the selected row in the browser goes through here.
#include "runtime/text.h"

#include <string_view>

// Whether the shell may be given the text.
bool IsWebAddress(std::string_view text);

// Opens the address in the system browser through the shell seam when it is a web address; false
// (and nothing opened) otherwise or when the shell refuses it.
bool OpenWebAddress(std::string_view text);
