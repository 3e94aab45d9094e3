// The settings registry of this process: one for the whole process, since one crash
// reporter serves all its modules. It is created by the first request for settings and
// is never destroyed, so that a thread that reads settings while the process ends still
// finds it whole; the crash reporter's shut-down empties it (ClearProcessSettings), after
// which settings still held by a caught exception stay valid.
#pragma once

#include <memory>

#include "crash/module_settings.h"
#include "crash/settings_registry.h"

SettingsRegistry& ProcessSettingsRegistry();

// The settings that apply to code at `address` (see SettingsRegistry::SettingsFor); null
// when no module of the process carries valid settings.
std::shared_ptr<ModuleSettings> SettingsFor(const void* address);

// Lets every module's settings leave the process's registry.
void ClearProcessSettings();
