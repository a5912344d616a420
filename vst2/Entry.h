// The instrument's entry: makes one new, independent instrument for the host that calls it.
#pragma once

#include "DAEffect.h"

// Asks the host for its version, builds an instrument and hands back its record; null when the host
// answers 0, when there is no host callback, or when no instrument could be built.
AEffect* tamblinCreateEffect(audioMasterCallback audioMaster);
