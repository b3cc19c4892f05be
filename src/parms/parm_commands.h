// Worker commands 4 to 7: set or query one parameter, send a record, send the imprinter text.
#pragma once

// Command 4: set one parameter of SCB.pParms, or build it from scratch (INIT).
void SetParameter();
// Command 5: load the record's driver, apply and send the record; the driver stays loaded.
void SendParameters();
// Command 6: one parameter as the driver sees it after the record is applied.
void QueryParameter();
// Command 7: the imprinter text to the loaded driver.
void SendPrintText();
