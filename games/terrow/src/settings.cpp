// terrow.ini: "key:<tab>value" lines in the settings format of the 2D library, read and written with
// its table reader and writer.
#include "pannix/pxini.h"
#include "terrow/trmodule.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokpath.h"

namespace {

int table(TrIni *ini, INIENTRY (&out)[7])
{
    out[0] = INIENTRY{"FillColor", INI_INT, &ini->FillColor, 1};
    out[1] = INIENTRY{"Hatter", INI_INT, &ini->Hatter, 1};
    out[2] = INIENTRY{"DebugMode", INI_INT, &ini->DebugMode, 1};
    out[3] = INIENTRY{"PalyaMeret", INI_INT, &ini->PalyaMeret, 1};
    out[4] = INIENTRY{"WinDiag", INI_INT, &ini->WinDiag, 1};
    out[5] = INIENTRY{"FullScreen", INI_INT, &ini->FullScreen, 1};
    out[6] = INIENTRY{"ShowFps", INI_INT, &ini->ShowFps, 1};
    return 7;
}

}  // namespace

extern "C" {

int TrReadIni(const char *path, TrIni *ini)
{
    INIENTRY entries[7];
    int count = table(ini, entries);
    int read = path != nullptr && path[0] != '\0' ? LoadIni(path, entries, count) : 0;
    // The field side feeds the default field, whose elements must stay loadable.
    if (ini->PalyaMeret < 1 || ini->PalyaMeret > TR_PALYA_MERET_MAX)
        ini->PalyaMeret = TR_PALYA_MERET_DEFAULT;
    return read;
}

int TrWriteIni(const char *path, const TrIni *ini)
{
    TrIni copy = *ini;
    INIENTRY entries[7];
    int count = table(&copy, entries);
    return path != nullptr && path[0] != '\0' ? SaveIni(path, entries, count) : 0;
}

void TrLoadSettings(void)
{
    TrModule *m = TrGetModule();
    TrReadIni(VokMakeWritePath(nullptr, TR_INI_NAME), &m->ini);
    int32_t mode = m->iface != nullptr ? m->iface->windowMode : 0;
    m->ini.FullScreen = mode >= 1 ? 1 : 0;
    m->frameless = mode != 0 ? 1 : 0;
}

int TrSaveSettings(void)
{
    TrModule *m = TrGetModule();
    TrIni stored = m->ini;
    stored.FullScreen = m->frameless;
    return TrWriteIni(VokMakeWritePath(nullptr, TR_INI_NAME), &stored);
}

}  // extern "C"
