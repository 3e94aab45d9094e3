// One run of a report assistant around the pages the helper program shows one after the
// other: the pages created and pre-filled, and afterwards the form cache and the report.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/box/assistant_page.h"
#include "crash/box/form_cache.h"
#include "crash/report/bug_report.h"
#include "crash/report/caught_exception.h"

namespace userdb::crash {

// The handler registered under a name; null when there is none.
using PageHandlerLookup = std::function<PageHandler*(std::string_view name)>;

// The built-in pages of those names, numbered 1 to n; each hears "page created" and is then
// filled from the form cache.
std::vector<AssistantPage> CreateAssistantPages(const std::vector<std::string>& page_names,
                                                const PageHandlerLookup& handlers,
                                                const FormCache& cache, CaughtException& exception);

// The entries the pages that ended with continue give the report: an edit with an output
// name and a text as a section of that title when it is to be a section of its own and has
// more than one line, else as a header value; a check box with an output name as a header
// value "yes" or "no".
struct PageInputs {
  std::vector<ReportEntry> header;
  std::vector<ReportEntry> sections;
  friend bool operator==(const PageInputs&, const PageInputs&) = default;
};
PageInputs CollectPageInputs(const std::vector<AssistantPage>& pages);

// After the last page: the form cache takes the continued pages; when the assistant ended
// with continue their inputs go into the report, as one change. Returns the assistant's
// result.
PageResult FinishAssistant(const std::vector<AssistantPage>& pages, FormCache& cache,
                           BugReport& report);

}  // namespace userdb::crash
