// The shared library's dynamic interface is the C API and nothing else.

#include "Talvex.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

struct Export {
    const char* name;
    void* linked;  // the address the test program was linked against
};

#define TALVEX_EXPORT(fn)                                                                                              \
    Export { #fn, reinterpret_cast < void*>(&fn) }

const Export kExports[] = {
    TALVEX_EXPORT(OpenComm),         TALVEX_EXPORT(OpenCommPath),     TALVEX_EXPORT(CloseComm),
    TALVEX_EXPORT(IsOpen),           TALVEX_EXPORT(GetLastCommError), TALVEX_EXPORT(ShutDown),
    TALVEX_EXPORT(StartUp),          TALVEX_EXPORT(SetLINE),          TALVEX_EXPORT(SetMIC),
    TALVEX_EXPORT(SetRBT),           TALVEX_EXPORT(SetBackLight),     TALVEX_EXPORT(SetSoundChannel),
    TALVEX_EXPORT(SetFMFreq),        TALVEX_EXPORT(SetLINEVol),       TALVEX_EXPORT(SetMICVol),
    TALVEX_EXPORT(SetLaunchPWR),     TALVEX_EXPORT(SetStdyWavePt),    TALVEX_EXPORT(SetTmpPt),
    TALVEX_EXPORT(GetFwdPWR),        TALVEX_EXPORT(GetRvrPWR),        TALVEX_EXPORT(GetStdyWaveRatio),
    TALVEX_EXPORT(GetTemperature),   TALVEX_EXPORT(GetDevState),      TALVEX_EXPORT(GetSerialNum),
    TALVEX_EXPORT(GetVersionNum),    TALVEX_EXPORT(GetDevType),       TALVEX_EXPORT(GetFMFreq),
    TALVEX_EXPORT(GetLineVol),       TALVEX_EXPORT(GetMicVol),        TALVEX_EXPORT(GetLaunchPWR),
    TALVEX_EXPORT(GetTmpPt),         TALVEX_EXPORT(GetStdyWavePt),    TALVEX_EXPORT(GetRtVol),
    TALVEX_EXPORT(GetLastOpenError), TALVEX_EXPORT(GetOpenErrorText),
};

TEST(ExportedSymbols, EveryFunctionOfTheApiAndNothingInternalResolvesByName)
{
    void* library = ::dlopen(TALVEX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    for (const Export& e : kExports) {
        // The same code the program is linked to, not a second copy.
        EXPECT_EQ(::dlsym(library, e.name), e.linked) << e.name;
    }
    for (const char* internal : {"CommTransact", "PurgeCommAll", "_ZN6talvex7LibraryEv"})
        EXPECT_EQ(::dlsym(library, internal), nullptr) << internal;
    ::dlclose(library);
}

}  // namespace
