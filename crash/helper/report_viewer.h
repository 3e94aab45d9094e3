// The report viewer of the exception box: a tab per part of the report ("general", "call
// stack(s)", one per further section, "cpu regs", "disasm"), brought up to date on every
// report change; the current tab shows its list view, or its text where no columns can be
// derived. A view is built again only when its tab or its text changed.
#pragma once

#include <QTabWidget>
#include <string>
#include <vector>

#include "crash/box/report_tabs.h"
#include "crash/helper/box_fonts.h"
#include "crash/helper/box_request.h"

namespace userdb::crash {

class ReportViewer : public QTabWidget {
  Q_OBJECT

 public:
  ReportViewer(BoxFonts fonts, QWidget* parent);

  void Update(const ReportContents& report);
  // The tabs' names, in order.
  std::vector<std::string> TabNames() const;

 private:
  void ShowCurrentTab();
  QWidget* BuildView(const ReportView& view, QWidget* page) const;

  const BoxFonts fonts_;
  ReportContents report_;
  std::vector<ReportTab> tabs_;
  int shown_index_ = -1;
  std::string shown_key_;
  std::string shown_text_;
};

}  // namespace userdb::crash
