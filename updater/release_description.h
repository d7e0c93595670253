#pragma once
// The release description "up.xml" on the maker's web server and the version check that the
// updater's window runs when it has been created.
//
// The description is an XML document with the root element upconfig; its children upconfig, name,
// down, upat, at and ok carry the attributes ver, exename, downurl, updateat, at and ok. Element and
// attribute names are matched exactly; a missing one reads as empty.
//
// Encodings: a UTF-8 byte-order mark means UTF-8; otherwise an XML declaration naming gb2312, gbk or
// gb18030 (any letter case) means code page 936; anything else is read as UTF-8. Bytes that are not
// valid in the chosen encoding, a NUL byte or a document type declaration ("<!DOCTYPE") fail the
// description. Attribute values come back as GBK text.
#include "runtime/forms.h"
#include "runtime/text.h"

#include <string>

struct IXMLDOMDocument;

namespace updater {

// The text of the description as UTF-16, by the rules above, with its XML declaration removed (the
// text no longer is in the encoding it names). False when the bytes fail those rules.
bool DecodeReleaseDescription(const ByteSet& bytes, std::wstring& text);

// The release document: an XML document object (Msxml2.DOMDocument) that loads from bytes and answers
// an attribute by element path ("upconfig/down") and attribute name.
class ReleaseDocument {
public:
    ReleaseDocument() = default;
    ~ReleaseDocument();
    ReleaseDocument(const ReleaseDocument&) = delete;
    ReleaseDocument& operator=(const ReleaseDocument&) = delete;

    // Replaces what was loaded. False, with nothing loaded, when the bytes are empty, fail the
    // decoding rules or are not well-formed XML.
    bool Load(const ByteSet& bytes);
    bool IsLoaded() const { return document_ != nullptr; }
    // The attribute of the element at `path`: the first name must be the root element's, each
    // further name picks the first child element of that name. Empty when any step is missing.
    Text Attribute(std::string_view path, std::string_view name) const;
    // Lets go of the loaded document.
    void Unload();

private:
    IXMLDOMDocument* document_ = nullptr;
    bool comStarted_ = false;
};

// Every "#hhf" (any letter case) replaced by CR LF.
Text WithLineBreaks(std::string_view text);

// Whether `name` may be used as the main program's file name inside the program directory: not empty,
// no "\", "/", ":", "..", control characters or < > " | ? *, not a device name (CON, NUL, COM1, ...,
// with or without an extension), not ending in a blank or a point, and not the updater's own file.
bool IsSafeProgramFileName(const Text& name);

// The window's created handler: attaches the skin, shows the banner, reads the description, fills
// the notices and compares the release's version with the installed one; ends the program when they
// are equal and closes the window when the description fails.
void OnUpdaterWindowCreated(const EventArgs& args);

}  // namespace updater
