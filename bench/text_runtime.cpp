// Throughput of the text runtime: forward search of a marker at the end of a 1 MB GBK page, and
// number reading of price texts.
#include <windows.h>

#include <cstdio>

#include "runtime/numbers.h"
#include "runtime/text.h"

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

// A deal-list page of about 1 MB: HTML rows with Chinese names, prices and dates, the markers only
// at the very end. The rows hold double-byte characters whose second byte is 'd' or 0xB5 (the first
// byte of 单), false candidates that the search must step over.
Text MakePage()
{
    const Text row =
        "<ul class=\"li2\"><li class=\"in_ac\">梦幻西游/电信一区/紫禁城</li>"
        "<li><a href=\"http://trading.example/detail/1234.shtml\" target=\"_blank\">100万金币 \x81" "d\x82" "d\x81\xB5</a></li>"
        "<li class=\"orange\">1,234.50元</li><li class=\"in_ac\">2015-01-07 13:05:09</li></ul>\r\n";
    Text page;
    page.reserve(1 << 20);
    while (page.size() + row.size() < (1u << 20) - 64)
        page += row;
    page += "<div class=\"pagebox beta\">单，共 3 页";
    return page;
}

}  // namespace

int main()
{
    const Text page = MakePage();
    const Text marker = "<div class=\"pagebox beta\">";
    const int rounds = 200;
    LARGE_INTEGER t0, t1;
    long long check = 0;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < rounds; ++i)
        check += FindText(page, marker);
    QueryPerformanceCounter(&t1);
    double mb = static_cast<double>(page.size()) * rounds / (1024.0 * 1024.0);
    std::printf("forward search of a marker in a %.2f MB GBK page: %.0f MB/s (found at %lld)\n",
                page.size() / (1024.0 * 1024.0), mb / Seconds(t0, t1), check / rounds);

    QueryPerformanceCounter(&t0);
    for (int i = 0; i < rounds; ++i)
        check += FindText(page, "单，共");
    QueryPerformanceCounter(&t1);
    std::printf("forward search of a Chinese marker: %.0f MB/s\n", mb / Seconds(t0, t1));

    QueryPerformanceCounter(&t0);
    for (int i = 0; i < 50; ++i)
        check += FindText(page, "dIv CLASS=\"PAGEBOX", 1, true);
    QueryPerformanceCounter(&t1);
    std::printf("the same, ignoring case: %.0f MB/s\n", page.size() * 50 / (1024.0 * 1024.0) / Seconds(t0, t1));

    const char* const texts[] = {"1234.50", "  88", "0.0125元", "1,234,567.89", "\xA3\xB1\xA3\xB2\xA3\xB3", "-3.5e2",
                                 "100万", "7"};
    const int count = 2000000;
    double sum = 0;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < count; ++i)
        sum += TextToNumber(texts[i & 7]);
    QueryPerformanceCounter(&t1);
    std::printf("number reading (TextToNumber): %.0f values/s (sum %g)\n", count / Seconds(t0, t1), sum);

    QueryPerformanceCounter(&t0);
    for (int i = 0; i < count; ++i)
        sum += TextToNumberNoCommas(texts[i & 7]);
    QueryPerformanceCounter(&t1);
    std::printf("number reading without commas (TextToNumberNoCommas): %.0f values/s (sum %g)\n",
                count / Seconds(t0, t1), sum);
    return 0;
}
