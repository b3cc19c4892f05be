// Worker command 10: the user edits the command's record in the Scanner Controls dialog.
#pragma once

#include "core/command.h"

// Result 0 on an accepted OK (the record captured from the driver), RC_SCAN_DLG_CANCEL, or
// the code of a failing step; no driver stays loaded by it.
void SettingsDialog(Command& command);
