#pragma once
// The files Quovanta writes beside itself at every start.
#include "runtime/text.h"

// Writes `directory` + "\alarm.mp3" (the alarm sound the program carries) when no such file exists,
// and sets key "版本号" of section "基本配置" in `directory` + "\config.ini" to the program's version,
// keeping every other key and section of that file. Failures are silent: start-up goes on.
void WriteStartupFiles(const Text& directory);
