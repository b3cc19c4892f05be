#include "sim/dialogs/image_dialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "framework/messages.h"
#include "sim/dialogs/dialog_builder.h"

namespace sim {

namespace {

constexpr std::int32_t kTemplateId = 2;
constexpr std::int32_t kIdsPerGroup = 100;

struct Setting {
  std::uint16_t tag;
  std::variant<std::int32_t, QelRational> value;
};

struct Option {
  std::string label;
  std::vector<Setting> settings;
  bool current = false;
};

struct Group {
  std::string title;
  std::vector<Option> options;
};

struct Session final : DialogForm {
  explicit Session(Driver& shownDriver) : driver(&shownDriver) {}
  void Show(platform::Window* window) override;
  bool Take(platform::Window* window) override;

  Driver* driver;
  std::vector<Group> groups;
};

std::int32_t IdOf(std::size_t group, std::size_t option) {
  return static_cast<std::int32_t>((group + 1) * kIdsPerGroup + option);
}

// Numbers and resolutions only: no text is offered here.
bool Same(const TagValue& a, const TagValue& b) {
  if (const auto* number = std::get_if<std::int32_t>(&a)) {
    const auto* other = std::get_if<std::int32_t>(&b);
    return other != nullptr && *number == *other;
  }
  if (const auto* rational = std::get_if<QelRational>(&a)) {
    const auto* other = std::get_if<QelRational>(&b);
    return other != nullptr && *rational == *other;
  }
  return false;
}

// A value the driver would take for the tag: one it lists, or the one it has.
bool Offered(const Tag& tag, const TagValue& value) {
  if (tag.choices.empty()) return Same(tag.value, value);
  return std::ranges::any_of(tag.choices,
                             [&](const TagValue& choice) { return Same(choice, value); });
}

Group Resolutions(const TagTable& tags) {
  Group group{"Resolution", {}};
  const Tag* x = tags.Find(kTagXResolution);
  if (x == nullptr) return group;
  const Tag* y = tags.Find(kTagYResolution);
  std::vector<QelRational> resolutions;
  for (const TagValue& choice : x->choices) {
    if (const auto* dpi = std::get_if<QelRational>(&choice)) resolutions.push_back(*dpi);
  }
  const auto* current = std::get_if<QelRational>(&x->value);
  if (resolutions.empty() && current != nullptr) resolutions.push_back(*current);
  for (const QelRational dpi : resolutions) {
    if (dpi.lDenominator == 0) continue;
    Option option{std::to_string(dpi.lNumerator / dpi.lDenominator) + " dpi",
                  {{kTagXResolution, dpi}},
                  current != nullptr && *current == dpi};
    if (y != nullptr) option.settings.push_back({kTagYResolution, dpi});
    group.options.push_back(std::move(option));
  }
  return group;
}

Group Depths(const TagTable& tags) {
  Group group{"Bits per dot", {}};
  const Tag* bits = tags.Find(kTagBitsPerSample);
  if (bits == nullptr) return group;
  const Tag* samples = tags.Find(kTagSamplesPerPixel);
  struct Depth {
    const char* label;
    std::int32_t bits;
    std::int32_t samples;
  };
  for (const Depth depth :
       {Depth{"Black and white", 1, 1}, Depth{"Gray", 8, 1}, Depth{"Colour", 8, 3}}) {
    if (!Offered(*bits, depth.bits)) continue;
    Option option{depth.label, {}, Same(bits->value, depth.bits)};
    if (samples != nullptr) {
      if (!Offered(*samples, depth.samples)) continue;
      option.settings.push_back({kTagSamplesPerPixel, depth.samples});
      option.current = option.current && Same(samples->value, depth.samples);
    } else if (depth.samples != 1) {
      continue;
    }
    option.settings.push_back({kTagBitsPerSample, depth.bits});
    group.options.push_back(std::move(option));
  }
  return group;
}

Group Widths(const TagTable& tags) {
  Group group{"Width", {}};
  const Tag* width = tags.Find(kTagImageWidth);
  if (width == nullptr) return group;
  std::vector<std::int32_t> widths;
  for (const TagValue& choice : width->choices) {
    if (const auto* dots = std::get_if<std::int32_t>(&choice)) widths.push_back(*dots);
  }
  if (widths.empty() && width->maximum) widths.push_back(*width->maximum);
  const auto* current = std::get_if<std::int32_t>(&width->value);
  if (current != nullptr && std::ranges::find(widths, *current) == widths.end()) {
    widths.push_back(*current);
  }
  for (const std::int32_t dots : widths) {
    group.options.push_back({std::to_string(dots) + " dots",
                             {{kTagImageWidth, dots}},
                             current != nullptr && *current == dots});
  }
  return group;
}

void Apply(Driver& driver, const Setting& setting) {
  auto value = setting.value;
  if (auto* number = std::get_if<std::int32_t>(&value)) {
    driver.Message(QelDrvSetTag, TagArg(setting.tag), number);
  } else if (auto* rational = std::get_if<QelRational>(&value)) {
    driver.Message(QelDrvSetRationalTag, TagArg(setting.tag), rational);
  }
}

void Session::Show(platform::Window* window) {
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const auto& options = groups[g].options;
    for (std::size_t o = 0; o < options.size(); ++o) {
      platform::CheckDlgButton(window, IdOf(g, o), options[o].current);
    }
  }
}

bool Session::Take(platform::Window* window) {
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const auto& options = groups[g].options;
    for (std::size_t o = 0; o < options.size(); ++o) {
      if (!platform::IsDlgButtonChecked(window, IdOf(g, o)) || options[o].current) continue;
      for (const Setting& setting : options[o].settings) Apply(*driver, setting);
    }
  }
  return true;
}

}  // namespace

std::int32_t ShowImageDialog(Driver& driver, platform::Window* owner) {
  Session session(driver);
  for (Group group : {Resolutions(driver.Tags()), Depths(driver.Tags()), Widths(driver.Tags())}) {
    if (!group.options.empty()) session.groups.push_back(std::move(group));
  }
  DialogBuilder builder("Image Parameters", kTemplateId);
  for (std::size_t g = 0; g < session.groups.size(); ++g) {
    builder.Group(session.groups[g].title);
    const auto& options = session.groups[g].options;
    for (std::size_t o = 0; o < options.size(); ++o) builder.Radio(IdOf(g, o), options[o].label);
  }
  RunDialog(builder.Template(), owner, session);
  return 0;
}

}  // namespace sim
