#pragma once
// Program-wide state of the updater: created at start-up, freed by the exit clean-up. Everything runs
// on the window thread; nothing is locked.
#include "runtime/forms.h"
#include "runtime/text.h"
#include "updater/memory_module.h"

namespace updater {

class ReleaseDocument;

// The six texts of the release description.
struct UpdateInfoTexts {
    Text ver;       // the release's version, compared with the installed one
    Text exename;   // the main program's file name inside the program directory
    Text downurl;   // where the new main program is downloaded from
    Text updateat;  // last part of the release notice
    Text at;        // middle part of the release notice
    Text ok;        // the closing notice on page "更新完成"
};
extern UpdateInfoTexts UpdateInfo;

// The release description as loaded; empty until the window's created handler loads it.
extern ReleaseDocument* ReleaseDoc;
// The mapped skin library; no module until start-up loads it.
extern MemoryModule* SkinModule;
// Handed to the skin library as its text argument; always empty.
extern Text SkinText;
// The directory of the updater's program file, without a trailing backslash: the main program and
// its config.ini are looked for there.
extern Text ProgramDir;
// The updater's window once it has been created.
extern Form UpdaterWindow;
// Set once the new main program is in place: only then may the page "更新完成" show.
extern bool UpdateInstalled;

// The updater's own file name as it is written by the main program.
inline constexpr char kUpdaterFileName[] = "Brelmor自动更新.exe";

// Creates the empty release document and the skin module object without a module; no update is
// installed yet.
void InitUpdaterGlobals();
// The exit clean-up: frees exename and downurl, the release document, ver, updateat, at and ok, the
// skin module (which unloads the library) and the skin text, in this order. Runs once: a second call
// finds nothing left to free.
void FreeUpdaterGlobals();
// Maps the carried skin library into the skin module (no import hook). Returns 0 whatever happens.
int LoadEmbeddedSkinModule();
// The skin data the updater carries.
const ByteSet& CarriedSkinData();

// ProgramDir + "\" + exename.
Text MainProgramPath();

}  // namespace updater
