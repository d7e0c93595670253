#include "client/program_state.h"

std::atomic<int> DealQueryBusy{0};
Text DateKey;
