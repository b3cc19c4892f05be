// Worker commands 4 to 7: set or query one parameter, send a record, send the imprinter text.
// Each works on the command's own record and value and leaves its result in the command.
#pragma once

#include "core/command.h"

// Command 4: set one parameter of the record, or build it from scratch (INIT).
void SetParameter(Command& command);
// Command 5: load the record's driver, apply and send the record; the driver stays loaded.
void SendParameters(Command& command);
// Command 6: one parameter as the driver sees it after the record is applied.
void QueryParameter(Command& command);
// Command 7: the imprinter text to the loaded driver.
void SendPrintText(Command& command);
