#pragma once
// The replica's pages of the maker's web server for the version check and the updater: the version
// page, the release description "up.xml", the banner "uplogo.gif", the new main program (with and
// without Content-Length) and a page for the updater's connectivity test.
//
//   /NetWork/qelsoft/5173/ver.asp                    "2.035"
//   /NetWork/qelsoft/5173/up.xml                     the description, GBK, encoding="gb2312"; its
//                                                    downurl names the program on the host asked;
//                                                    ?variant=NAME serves one of the variants below
//   /NetWork/qelsoft/5173/uplogo.gif                 the 500 x 100 banner (replica/make_update_logo.py)
//   /NetWork/qelsoft/5173/Quovanta.exe               the release file given to the replica, with its length
//   /NetWork/qelsoft/5173/nolength/Quovanta.exe      the same, ended by closing the connection
//   /connectivity.html                               a small page that is always there
//
// Without a release file the two program addresses answer 404.
#include "replica/replica_routes.h"

#include <string>

namespace replica {

inline constexpr char kReleaseVersion[] = "2.035";
inline constexpr char kReleaseProgramPath[] = "/NetWork/qelsoft/5173/Quovanta.exe";
inline constexpr char kReleaseProgramWithoutLengthPath[] = "/NetWork/qelsoft/5173/nolength/Quovanta.exe";

enum class ReleaseVariant {
    Standard,    // GBK with encoding="gb2312"
    Utf8,        // the same texts in UTF-8 with encoding="utf-8"
    DtdBomb,     // a document type whose entities expand a billion times
    Traversal,   // exename "..\..\Quovanta.exe"
    OtherRoot,   // the same children under a root element of another name
    OtherOrder,  // the children in another order, with elements and attributes nobody reads
    NoLength,    // downurl names the program served without Content-Length
};

// The description's bytes; downurl is "http://" + host + the program's path.
std::string ReleaseDescription(ReleaseVariant variant, const std::string& host);
// The variant a name of ?variant= stands for ("utf8", "dtd", "traversal", "otherroot", "otherorder",
// "nolength"); Standard for any other.
ReleaseVariant ReleaseVariantNamed(const std::string& name);
// The banner's GIF bytes.
std::string UpdateLogoGif();

}  // namespace replica

// The file served as the new main program (read at every request); empty: none.
void SetReplicaReleaseFile(std::string path);
void AddMakerRoutes(ReplicaRoutes& routes);
