// The user at the terminal: sees each dialog as text and answers from standard input.
#pragma once

#include "platform/posix/dialog_user.h"

namespace platform {

DialogUser& TerminalUser();

}  // namespace platform
