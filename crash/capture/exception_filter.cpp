#include "crash/capture/exception_filter.h"

#include <algorithm>

#include "platform/trimmed.h"

namespace userdb::crash {

std::vector<std::string> FilterClasses(std::string_view setting) {
  std::vector<std::string> classes;
  while (!setting.empty()) {
    const size_t comma = setting.find(',');
    const std::string_view name = platform::Trimmed(setting.substr(0, comma));
    if (!name.empty()) classes.emplace_back(name);
    if (comma == std::string_view::npos) break;
    setting.remove_prefix(comma + 1);
  }
  return classes;
}

std::string_view FilterOf(const SettingsView& settings,
                          const std::optional<ExceptionObject>& object) {
  if (object) {
    for (const std::string_view filter : {"F1", "F2"}) {
      const auto classes = FilterClasses(settings.ReadText(std::string(filter) + "Classes"));
      for (const std::string& name : object->class_chain) {
        if (std::find(classes.begin(), classes.end(), name) != classes.end()) return filter;
      }
    }
  }
  return "Gn";
}

void ApplyExceptionFilter(CaughtException& exception) {
  SettingsOverlay& settings = exception.Settings();
  const std::string filter(FilterOf(settings, exception.Facts().object));
  const auto read = [&](std::string_view name) {
    return settings.ReadBoolean(filter + std::string(name));
  };
  HandlingState& state = exception.Handling();
  exception.SetCreateBugReport(!read("NoBugRep"));
  state.create_screenshot = !read("NoScrShot") && settings.ReadInteger("ScrShotDepth") > 0;
  state.attach_screenshot = state.create_screenshot;
  settings.WriteBoolean("PauseThreads", !read("NoSuspend") && settings.ReadBoolean("PauseThreads"));
  state.call_handlers = !read("NoHandlers");
  state.show_setting = settings.ReadInteger(filter + "ShowCfg");
  state.show_assistant = settings.ReadText(filter + "Assis");
}

}  // namespace userdb::crash
