#include "crash/box/assistant_run.h"

namespace userdb::crash {

namespace {

constexpr std::string_view kYes = "yes";
constexpr std::string_view kNo = "no";

}  // namespace

std::vector<AssistantPage> CreateAssistantPages(const std::vector<std::string>& page_names,
                                                const PageHandlerLookup& handlers,
                                                const FormCache& cache,
                                                CaughtException& exception) {
  std::vector<AssistantPage> pages;
  const int count = static_cast<int>(page_names.size());
  for (const std::string& name : page_names) {
    std::optional<PageDefinition> definition = BuiltInPage(name);
    if (!definition) continue;
    PageHandler* handler = definition->handler.empty() ? nullptr : handlers(definition->handler);
    const int number = static_cast<int>(pages.size()) + 1;
    pages.emplace_back(std::move(*definition), number, count, handler, &exception);
  }
  for (AssistantPage& page : pages) {
    page.Create();
    cache.Fill(page);
  }
  return pages;
}

PageInputs CollectPageInputs(const std::vector<AssistantPage>& pages) {
  PageInputs inputs;
  for (const AssistantPage& page : pages) {
    if (page.Result() != PageResult::kContinue) continue;
    for (const PageItem& item : page.Items()) {
      if (item.output_name.empty()) continue;
      if (item.kind == ItemKind::kEdit && !item.text.empty()) {
        auto& list = item.output == OutputType::kOwnSection && item.lines > 1 ? inputs.sections
                                                                              : inputs.header;
        list.push_back({item.output_name, item.text});
      }
      if (item.kind == ItemKind::kCheckBox)
        inputs.header.push_back({item.output_name, std::string(item.checked ? kYes : kNo)});
    }
  }
  return inputs;
}

PageResult FinishAssistant(const std::vector<AssistantPage>& pages, FormCache& cache,
                           BugReport& report) {
  cache.Update(pages);
  const PageResult result = AssistantResult(pages);
  if (result != PageResult::kContinue) return result;
  const PageInputs inputs = CollectPageInputs(pages);
  BugReport::UpdateBracket bracket(report);
  for (const ReportEntry& entry : inputs.header) report.PutHeader(entry.name, entry.value);
  for (const ReportEntry& entry : inputs.sections) report.PutSection(entry.name, entry.value);
  return result;
}

}  // namespace userdb::crash
