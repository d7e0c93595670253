// The updater's host names (see hosts.h).
#include "updater/hosts.h"

#include "runtime/files.h"

namespace updater {

namespace {

constexpr char kMakerHost[] = "www.brelmor.com";
// Any page that is always there will do.
constexpr char kConnectivityUrl[] = "http://www.baidu.com/";

Text WithoutBlanks(const Text& s)
{
    std::size_t begin = s.find_first_not_of(" \t\r\n");
    if (begin == Text::npos)
        return Text();
    return s.substr(begin, s.find_last_not_of(" \t\r\n") - begin + 1);
}

bool IsHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

// name[:port] with a name of letters, digits, "-", "." and "_" and a port from 1 to 65535.
bool IsHostAndPort(const Text& s)
{
    const std::size_t colon = s.find(':');
    const Text name = s.substr(0, colon);
    if (name.empty())
        return false;
    for (char c : name)
        if (!IsHostChar(c))
            return false;
    if (colon == Text::npos)
        return true;
    const Text port = s.substr(colon + 1);
    if (port.empty() || port.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

}  // namespace

Text MakerHost()
{
    Text value = WithoutBlanks(ReadEnvironment("QUOVANTA_MAKER_HOST"));
    if (ToLowerAscii(LeftText(value, 7)) == "http://")
        value.erase(0, 7);
    if (!value.empty() && value.back() == '/')
        value.pop_back();
    return IsHostAndPort(value) ? value : Text(kMakerHost);
}

Text ConnectivityUrl()
{
    const Text value = WithoutBlanks(ReadEnvironment("QUOVANTA_CONNECTIVITY_URL"));
    const Text lower = ToLowerAscii(value);
    bool usable = (LeftText(lower, 7) == "http://" && value.size() > 7) || (LeftText(lower, 8) == "https://" && value.size() > 8);
    for (unsigned char c : value)
        if (c <= ' ' || c == 0x7F)
            usable = false;
    return usable ? value : Text(kConnectivityUrl);
}

Text MakerUrl(std::string_view path) { return "http://" + MakerHost() + Text(path); }

}  // namespace updater
