// The files Quovanta writes beside itself at every start (see startup_files.h).
#include "client/startup_files.h"

#include "client/program_state.h"
#include "resources/resources.h"
#include "runtime/files.h"

void WriteStartupFiles(const Text& directory)
{
    const Text alarm = directory + "\\alarm.mp3";
    if (!FileExists(alarm)) {
        // A half-written sound would never be replaced (only a missing one is): drop it on failure, so
        // that the next start writes it again.
        if (!WriteWholeFile(alarm, EmbeddedAlarmSound, EmbeddedAlarmSound_size))
            DeleteFileAt(alarm);
    }
    WriteIniText(directory + "\\config.ini", "基本配置", "版本号", kProgramVersion);
}
