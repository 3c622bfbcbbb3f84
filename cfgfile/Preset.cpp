#include "cfgfile/Preset.h"

bool g_bPreset = false;
