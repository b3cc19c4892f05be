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

// What a built dialog shows and takes: Show sets its controls when it opens; Take reads them
// at OK and answers false to keep the dialog open (after telling the user why).
class DialogForm {
 public:
  virtual void Show(platform::Window* window) = 0;
  virtual bool Take(platform::Window* window) = 0;

 protected:
  ~DialogForm() = default;
};

// Shows the dialog modally over owner (null: none): true when it ended with a taken OK;
// Cancel and the close box end it with nothing taken.
bool RunDialog(const platform::DialogTemplate& dialog, platform::Window* owner, DialogForm& form);

class DialogBuilder {
 public:
  DialogBuilder(std::string caption, std::int32_t templateId);

  // Starts a frame in a new column; the buttons added after it go into it.
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
