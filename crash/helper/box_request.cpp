#include "crash/helper/box_request.h"

#include <charconv>

namespace userdb::crash {

namespace {

std::string Flag(bool on) {
  return on ? "1" : "0";
}

int64_t Number(const std::string& text, int64_t fallback = 0) {
  int64_t value = fallback;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::string CaptionField(ButtonKind kind) {
  return "caption " + std::to_string(IndexOf(kind));
}

std::string VisibleField(ButtonKind kind) {
  return "visible " + std::to_string(IndexOf(kind));
}

// Lists travel as pairs of fields, in order: a name field, then a value field.
void AddEntries(HelperMessage& message, const std::vector<ReportEntry>& entries,
                const std::string& name_field, const std::string& value_field) {
  for (const ReportEntry& entry : entries)
    message.With(name_field, entry.name).With(value_field, entry.value);
}

std::vector<ReportEntry> EntriesOf(const HelperMessage& message, std::string_view name_field,
                                   std::string_view value_field) {
  std::vector<ReportEntry> entries;
  for (const auto& [field, value] : message.fields) {
    if (field == name_field) entries.push_back({value, {}});
    if (field == value_field && !entries.empty()) entries.back().value = value;
  }
  return entries;
}

}  // namespace

HelperMessage EncodeBoxRequest(const BoxRequest& request) {
  const BoxSettings& settings = request.settings;
  HelperMessage message{std::string(helper::kBox), {}};
  message.With("title bar", settings.title_bar)
      .With("except msg", settings.except_msg)
      .With("frozen msg", settings.frozen_msg);
  for (const ButtonKind kind : kButtonKinds) {
    message.With(CaptionField(kind), settings.Caption(kind))
        .With(VisibleField(kind), Flag(settings.Visible(kind)));
  }
  message.With("focused button", std::to_string(settings.focused_button))
      .With("ugly buttons", Flag(settings.ugly_buttons))
      .With("ok caption", settings.ok_caption)
      .With("details caption", settings.details_caption)
      .With("auto show report", Flag(settings.auto_show_report))
      .With("auto continue", Flag(settings.auto_continue))
      .With("auto delay", std::to_string(settings.auto_delay_seconds))
      .With("program name", settings.program_name)
      .With("message", request.exception.message)
      .With("frozen", Flag(request.exception.frozen))
      .With("can-continue", Flag(request.exception.can_continue))
      .With("show setting", std::to_string(request.show_setting))
      .With("first showing", Flag(request.first_showing))
      .With("auto close holds", Flag(request.automatic.close_holds))
      .With("auto restart holds", Flag(request.automatic.restart_holds));
  return message;
}

BoxRequest DecodeBoxRequest(const HelperMessage& message) {
  BoxRequest request;
  BoxSettings& settings = request.settings;
  settings.title_bar = message.Field("title bar");
  settings.except_msg = message.Field("except msg");
  settings.frozen_msg = message.Field("frozen msg");
  for (const ButtonKind kind : kButtonKinds) {
    settings.captions[IndexOf(kind)] = message.Field(CaptionField(kind));
    settings.visible[IndexOf(kind)] = message.Field(VisibleField(kind)) == "1";
  }
  settings.focused_button = static_cast<int>(Number(message.Field("focused button"), 1));
  settings.ugly_buttons = message.Field("ugly buttons") == "1";
  settings.ok_caption = message.Field("ok caption");
  settings.details_caption = message.Field("details caption");
  settings.auto_show_report = message.Field("auto show report") == "1";
  settings.auto_continue = message.Field("auto continue") == "1";
  settings.auto_delay_seconds = static_cast<int>(Number(message.Field("auto delay"), 60));
  settings.program_name = message.Field("program name");
  request.exception.message = message.Field("message");
  request.exception.frozen = message.Field("frozen") == "1";
  request.exception.can_continue = message.Field("can-continue") == "1";
  request.show_setting = static_cast<int>(Number(message.Field("show setting")));
  request.first_showing = message.Field("first showing") == "1";
  request.automatic.close_holds = message.Field("auto close holds") == "1";
  request.automatic.restart_holds = message.Field("auto restart holds") == "1";
  return request;
}

HelperMessage EncodeReport(const ReportContents& report) {
  HelperMessage message{std::string(helper::kReport), {}};
  message.With("text", report.text).With("complete", Flag(report.complete));
  AddEntries(message, report.header, "header name", "header value");
  AddEntries(message, report.sections, "section title", "section text");
  return message;
}

ReportContents DecodeReport(const HelperMessage& message) {
  ReportContents report;
  report.text = message.Field("text");
  report.complete = message.Field("complete") == "1";
  report.header = EntriesOf(message, "header name", "header value");
  report.sections = EntriesOf(message, "section title", "section text");
  return report;
}

HelperMessage EncodeProgress(const ProgressRequest& request) {
  HelperMessage message{std::string(helper::kProgress), {}};
  message.With("title", request.title);
  for (const ProgressRequest::Area& area : request.areas)
    message.With("area", area.text).With("weight", std::to_string(area.weight));
  message.With("current", std::to_string(request.current_area))
      .With("position", std::to_string(request.position))
      .With("activate", Flag(request.activate))
      .With("sending", Flag(request.sending));
  return message;
}

ProgressRequest DecodeProgress(const HelperMessage& message) {
  ProgressRequest request;
  request.title = message.Field("title");
  for (const auto& [field, value] : message.fields) {
    if (field == "area") request.areas.push_back({value, 0});
    if (field == "weight" && !request.areas.empty())
      request.areas.back().weight = static_cast<uint64_t>(Number(value));
  }
  request.current_area = static_cast<int>(Number(message.Field("current")));
  request.position = static_cast<int>(Number(message.Field("position")));
  request.activate = message.Field("activate") != "0";
  request.sending = message.Field("sending") == "1";
  return request;
}

}  // namespace userdb::crash
