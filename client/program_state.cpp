// Program-wide state of Quovanta (see program_state.h).
#include "client/program_state.h"

std::atomic<int> DealQueryBusy{0};
Text DateKey;
SharedText ChartPictureAddress;
std::atomic<int> NewGamePageNumber{1};
SharedText MarketBaseAddress;
SharedText MarketPagePath;
TextArray SharedSplitTexts;

void InitGlobalTextArrays() { TextArray().swap(SharedSplitTexts); }

void FreeGlobalTexts()
{
    Text().swap(DateKey);
    ChartPictureAddress.Clear();
    MarketBaseAddress.Clear();
    MarketPagePath.Clear();
    TextArray().swap(SharedSplitTexts);
}
