// Program-wide state of the updater (see state.h).
#include "updater/state.h"

#include "updater/release_description.h"
#include "updater/web.h"
#include "updater/updater_resources.h"

namespace updater {

UpdateInfoTexts UpdateInfo;
ReleaseDocument* ReleaseDoc = nullptr;
MemoryModule* SkinModule = nullptr;
Text SkinText;
Text ProgramDir;
Form UpdaterWindow;
bool UpdateInstalled = false;

namespace {

void FreeText(Text& text) { Text().swap(text); }

}  // namespace

void InitUpdaterGlobals()
{
    UpdateInstalled = false;
    if (!ReleaseDoc)
        ReleaseDoc = new ReleaseDocument;
    if (!SkinModule)
        SkinModule = new MemoryModule;
}

void FreeUpdaterGlobals()
{
    FreeText(UpdateInfo.exename);
    FreeText(UpdateInfo.downurl);
    if (ReleaseDoc) {
        ReleaseDoc->Unload();
        delete ReleaseDoc;
        ReleaseDoc = nullptr;
    }
    FreeText(UpdateInfo.ver);
    FreeText(UpdateInfo.updateat);
    FreeText(UpdateInfo.at);
    FreeText(UpdateInfo.ok);
    delete SkinModule;  // unloads the library: its entry point is told, then the memory goes
    SkinModule = nullptr;
    FreeText(SkinText);
    CloseWebSession();
}

int LoadEmbeddedSkinModule()
{
    if (SkinModule)
        SkinModule->Load(UpdaterSkinLibrary, UpdaterSkinLibrary_size);
    return 0;
}

const ByteSet& CarriedSkinData()
{
    static const ByteSet data(UpdaterSkinData, UpdaterSkinData + UpdaterSkinData_size);
    return data;
}

Text MainProgramPath() { return ProgramDir + "\\" + UpdateInfo.exename; }

}  // namespace updater
