// The program's entry: WinMain on the platform's start.
#include "mavrel.h"
#include "vokplat/winmain.h"

VOK_WINMAIN(mavrel::mavrelMain)
