// A driver's own image-parameter dialog, the answer to QelDrvShowDialog: resolution, bits per
// dot and width, offered from the driver's tags and their choices. OK sets the chosen values
// through the driver's own messages, so its rules and linked tags apply; Cancel and closing
// the window change nothing.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "sim/services/driver_model/driver.h"

namespace sim {

// 0; the dialog is owned by owner (null: none).
std::int32_t ShowImageDialog(Driver& driver, platform::Window* owner);

// A driver whose dialog message shows this dialog: every driver the framework loads.
class ImageDialogDriver : public Driver {
 public:
  using Driver::Driver;

 protected:
  std::int32_t ShowDialog(platform::Window* owner) override {
    return ShowImageDialog(*this, owner);
  }
};

}  // namespace sim
