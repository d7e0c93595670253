// Web addresses for the system browser (see web_address.h).
#include "client/web_address.h"

#include "runtime/seams.h"

bool IsWebAddress(std::string_view text)
{
    const Text lower = ToLowerAscii(text.substr(0, 8));
    if (lower.rfind("http://", 0) != 0 && lower.rfind("https://", 0) != 0)
        return false;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

bool OpenWebAddress(std::string_view text) { return IsWebAddress(text) && OpenInShell(text); }
