// The storage filter: the library's own driver at the end of each page's chain (MyStore).
#pragma once

#include "platform/platform.h"

// The module instance the filter reports for QelDrvGetInstance; set before each page.
extern platform::Module* hStoreInstance;
