// Worker commands 1 and 2: start and stop the framework and its memory-image library.
#pragma once

void FrameworkStart();
void FrameworkStop();
