#pragma once
// A stand-in skin library for tests, built with the PE writer: SkinH_AttachRes (cdecl) records its
// three values, SkinH_AdjustHSV records its two and removes them itself (stdcall); the entry point
// counts its calls per reason. What the calls received is in the Recorded* variables.
#include "loader/pe_writer.h"

#include <cstdint>
#include <vector>

inline volatile uint32_t RecordedAttachArgs[3];
inline volatile LONG RecordedAttachCalls;
inline volatile uint32_t RecordedAdjustArgs[2];
inline volatile LONG RecordedAdjustCalls;
inline volatile LONG RecordedEntryCalls[4];  // per reason: detach, attach, thread attach, thread detach

inline void ResetRecordedSkinCalls()
{
    for (auto& a : RecordedAttachArgs)
        a = 0xDEADBEEF;
    for (auto& a : RecordedAdjustArgs)
        a = 0xDEADBEEF;
    RecordedAttachCalls = 0;
    RecordedAdjustCalls = 0;
    for (auto& c : RecordedEntryCalls)
        c = 0;
}

// The hue and second value of the last SkinH_AdjustHSV call.
inline int RecordedHue() { return static_cast<int32_t>(RecordedAdjustArgs[0]); }
inline int RecordedSecondValue() { return static_cast<int32_t>(RecordedAdjustArgs[1]); }

// Without `withAdjust` the library exports SkinH_AttachRes only.
inline std::vector<uint8_t> RecordingSkinLibrary(bool withAdjust = true)
{
    constexpr uint32_t kText = IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_MEM_READ;
    constexpr uint32_t kRdata = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;
    PeImage pe(0x5C000000);
    const uint32_t text = pe.AddSection(".text", 0x200, kText);
    const uint32_t rdata = pe.AddSection(".rdata", 0x200, kRdata);
    pe.PutBytes(text, x86::CountingEntry(RecordedEntryCalls, 1));
    pe.entryRva = text;
    pe.PutBytes(text + 0x40, x86::RecordingFunction(RecordedAttachArgs, 3, &RecordedAttachCalls, 0));
    pe.PutBytes(text + 0x100, x86::RecordingFunction(RecordedAdjustArgs, 2, &RecordedAdjustCalls, 8));
    if (withAdjust)
        AddExports(pe, rdata, {text + 0x100, text + 0x40}, {{"SkinH_AdjustHSV", 0}, {"SkinH_AttachRes", 1}});
    else
        AddExports(pe, rdata, {text + 0x40}, {{"SkinH_AttachRes", 0}});
    return pe.Build();
}
