// Wires the panel file's callback names to the application's functions.
#pragma once
#include "platform/ui.h"

void RegisterAppCallbacks();
