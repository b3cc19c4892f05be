// Dialogs of the stand-in's own (a driver's image parameters, the barcode component's
// settings), laid out at run time from what they offer: columns of framed groups of radio
// buttons or check boxes, OK and Cancel below. The template lives as long as the builder.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

class DialogBuilder {
 public:
  DialogBuilder(std::string caption, std::int32_t templateId);

  // A frame in a new column; the buttons added after it go into it.
  void Group(std::string title);
  // Radio buttons of one group are one radio group.
  void Radio(std::int32_t id, std::string text);
  void CheckBox(std::int32_t id, std::string text);

  // The finished template, with OK and Cancel.
  const platform::DialogTemplate& Template();

 private:
  void Add(std::int32_t id, std::uint32_t style, std::string text, std::int16_t x, std::int16_t y,
           std::int16_t width, std::int16_t height);

  std::string caption_;
  std::int32_t templateId_;
  std::deque<std::string> texts_;  // stable addresses for the controls' texts
  std::vector<platform::DialogControl> controls_;
  std::int16_t column_ = -1;
  std::int16_t row_ = 0;
  std::int16_t lowest_ = 0;
  std::size_t groupBox_ = 0;  // index of the current group's frame
  bool groupStarted_ = false;
  platform::DialogTemplate template_{};
};

}  // namespace sim
