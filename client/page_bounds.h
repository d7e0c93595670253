#pragma once
// How far a run over the numbered pages of the platform goes.
//
// The number of pages comes from the platform's own page, so it is trusted only this far: a run reads at
// most kMaxListPages pages (80 rows a page make 80,000 rows, more than a workbook sheet holds and more
// than any catalogue of the platform lists), it keeps at most kMaxListRows rows, and it ends once
// kEmptyPagesInARow pages in a row have yielded nothing, so that a count of "2147483648" does not mean years of requests. A single empty or
// failed page is passed over. Every page loop of the client (deals, offers, total volume, new games)
// runs through a PageRun.
#include "runtime/text.h"

#include <algorithm>
#include <string_view>

inline constexpr int kMaxListPages = 1000;
inline constexpr int kEmptyPagesInARow = 3;

// The most records one page gives: a page of the platform lists 80 deals or 40 offers, the portal 100
// new games. A reply of thousands of records is no such page, and cutting, matching and writing all of
// them would exhaust the memory of the program or hold its window for minutes: the rest is left out.
inline constexpr int kMaxRecordsPerPage = 1000;

// The most rows a list filled from replies holds, one reply or a whole run of pages: what one sheet of
// a workbook holds. A run that has kept this many ends as after its last page.
inline constexpr int kMaxListRows = 65535;

// The pieces of `text` split at `separator` (runtime/text.h SplitText), at most `most` of them; what
// stands after the last piece taken is left out.
inline TextArray SplitBoundedRecords(std::string_view text, std::string_view separator, bool dropEmptyLast, int most)
{
    TextArray pieces = SplitText(text, separator, dropEmptyLast, most + 1);
    if (pieces.size() > static_cast<std::size_t>(most))
        pieces.resize(static_cast<std::size_t>(most));
    return pieces;
}

// The records of one page: at most kMaxRecordsPerPage.
inline TextArray SplitPageRecords(std::string_view text, std::string_view separator, bool dropEmptyLast)
{
    return SplitBoundedRecords(text, separator, dropEmptyLast, kMaxRecordsPerPage);
}

class PageRun {
public:
    explicit PageRun(int announcedPages) : pages_(std::clamp(announcedPages, 0, kMaxListPages)) {}

    // The pages to read: the announced count, 0 for none, at most kMaxListPages.
    int Pages() const { return pages_; }

    // How many of a page's records the run keeps: all of them while fewer than kMaxListRows rows are
    // kept in all, else those that fill the list up to kMaxListRows. Asked once per page, before its
    // records are used; the records past the count are left out.
    int Keep(int recordsOnPage)
    {
        const int kept = std::clamp(recordsOnPage, 0, kMaxListRows - kept_);
        kept_ += kept;
        return kept;
    }

    // `records` cut to what Keep leaves of them.
    template <class Records>
    void KeepRecords(Records& records)
    {
        records.resize(static_cast<std::size_t>(Keep(static_cast<int>(records.size()))));
    }

    // Told after each page how many records it gave; false once the run has to end: after
    // kEmptyPagesInARow pages in a row without records, or once kMaxListRows rows are kept.
    bool Continue(int recordsOnPage)
    {
        emptyInARow_ = recordsOnPage > 0 ? 0 : emptyInARow_ + 1;
        return emptyInARow_ < kEmptyPagesInARow && kept_ < kMaxListRows;
    }

private:
    int pages_;
    int emptyInARow_ = 0;
    int kept_ = 0;
};
