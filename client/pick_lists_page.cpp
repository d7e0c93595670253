// The pick lists of pages 0 and 2: games, goods types, areas, servers and operators.
#include "client/main_window.h"

void AddPickListControls(WindowLayout&) {}

void BindPickListEvents(EventTable&) {}

void LoadAllGames() {}
