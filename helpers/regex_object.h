#pragma once
// The regular-expression object of the scrapers: one pattern run over one subject text by the
// platform's COM engine "VBScript.RegExp", driven by late-bound automation (members by name).
//
// One object per use, on one thread: the object initialises COM on the thread that constructs it and
// uninitialises it once, when it is destroyed. Match and group indexes are 1-based; positions are
// 0-based byte offsets into the stored subject. Reads on an object without an engine or a match
// collection, or with an index outside the collection, give 0 and empty texts.
#include <memory>

#include "runtime/text.h"

struct IDispatch;

// Either empty or one counted reference to a COM automation object.
class ComHolder {
public:
    ComHolder() = default;
    ComHolder(const ComHolder& other);             // adds a reference
    ComHolder& operator=(const ComHolder& other);  // adds a reference, releases the old one
    ~ComHolder();

    void Clear();                    // releases the reference and leaves the holder empty
    void Attach(IDispatch* object);  // takes over a reference the caller owns (nullptr: empty)
    IDispatch* Get() const { return object_; }
    bool Empty() const { return object_ == nullptr; }

private:
    IDispatch* object_ = nullptr;
};

class RegexObject final {
public:
    RegexObject();   // COM initialised on the calling thread, no engine yet
    ~RegexObject();  // destroys the object when its user has not
    RegexObject(const RegexObject&) = delete;
    RegexObject& operator=(const RegexObject&) = delete;

    // The method table, in slot order.

    // Clear, then gives up both holders and the subject.
    virtual void Destroy();
    // A new object on the calling thread (COM initialised there) sharing this one's engine and match
    // collection (a reference added to each), with a copy of the subject.
    virtual std::unique_ptr<RegexObject> Clone() const;
    // Runs the pattern over the subject with a new engine. caseSensitive: only its lowest bit counts.
    // quote non-zero: every "#引号" in the pattern stands for one double quote. True when the engine ran
    // the pattern and gave a match collection (also an empty one); false when the engine cannot be
    // created or rejects the pattern.
    virtual bool Create(std::string_view pattern, std::string_view subject, int caseSensitive = 0,
                        bool multiline = true, bool global = true, int quote = 0);
    virtual void Reserved();
    // The engine's pattern; empty without an engine.
    virtual Text GetPattern() const;
    // The stored subject with every match (Global) or the first one replaced, in the engine's
    // replacement syntax ($1, $&, ...). Empty without an engine.
    virtual Text Replace(std::string_view replacement = {}) const;
    virtual int GetMatchCount() const;
    // The text of match `index`; `position` (when given) receives its byte offset, -2 when unknown.
    virtual Text GetMatch(int index, int* position = nullptr) const;
    // Capture group `group` of match `index` (empty for a group that took no part); `position` (when
    // given) receives the byte offset of its first occurrence from the start of the match, -2 if none.
    virtual Text GetSubMatch(int index, int group, int* position = nullptr) const;
    // The number of capture groups of the pattern, read from the first match (0 without a match).
    virtual int GetSubMatchCount() const;

    // Releases engine and matches, empties the subject, and uninitialises COM (once per object).
    void Clear();

private:
    void InitializeRegexObject();
    void InitializeCom();
    void UninitializeCom();

    ComHolder engine_;
    ComHolder matches_;
    Text subject_;
    bool comInitialised_ = false;
};
