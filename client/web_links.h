#pragma once
// Addresses cut from web pages on their way to the shell: only web addresses are opened, never a file,
// a program or a script the page happens to name.
#include "runtime/text.h"

#include <string_view>

// Whether the shell may be given the text: it begins with "http://" or "https://" (any letter case) and
// holds no control character.
bool IsWebAddress(std::string_view text);

// Opens the text in the system's web browser through the shell's "open" when it is a web address.
// False, and nothing opened, for anything else (the empty text included) or when the shell refuses it.
bool OpenWebAddress(std::string_view text);
