#include "crash/helper/report_viewer.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "crash/helper/report_view_model.h"
#include "platform/qt/screen_text.h"

namespace userdb::crash {

namespace {

constexpr int kCellPadding = 12;
// Measuring every cell of a long list takes long: a column's width is taken from its
// longest cells, which are the widest ones in all but contrived texts.
constexpr size_t kMeasuredCells = 24;

// As wide as the widest of the column's longest cells and its name.
int ColumnWidth(const ReportView& view, size_t column, const QFontMetrics& metrics) {
  std::vector<const std::string*> longest;
  for (const ViewRow& row : view.rows) {
    if (row.style == RowStyle::kTitle || column >= row.cells.size()) continue;
    longest.push_back(&row.cells[column]);
  }
  const size_t measured = std::min(kMeasuredCells, longest.size());
  std::partial_sort(
      longest.begin(), longest.begin() + static_cast<ptrdiff_t>(measured), longest.end(),
      [](const std::string* a, const std::string* b) { return a->size() > b->size(); });
  int width = metrics.horizontalAdvance(platform::ScreenText(view.columns[column].name));
  for (size_t i = 0; i < measured; ++i)
    width = std::max(width, metrics.horizontalAdvance(platform::ScreenText(*longest[i])));
  return width + kCellPadding;
}

}  // namespace

ReportViewer::ReportViewer(BoxFonts fonts, QWidget* parent)
    : QTabWidget(parent), fonts_(std::move(fonts)) {
  setFont(fonts_.text);
  connect(this, &QTabWidget::currentChanged, this, [this] { ShowCurrentTab(); });
}

std::vector<std::string> ReportViewer::TabNames() const {
  std::vector<std::string> names;
  for (const ReportTab& tab : tabs_) names.push_back(tab.name);
  return names;
}

void ReportViewer::Update(const ReportContents& report) {
  report_ = report;
  const std::vector<ReportTab> wanted = ReportTabs(report_.sections);
  // The changes come in order; the tab bar follows them without switching the current tab.
  const QSignalBlocker quiet(this);
  for (const TabChange& change : TabChanges(tabs_, wanted)) {
    const int index = static_cast<int>(change.index);
    switch (change.kind) {
      case TabChange::Kind::kRemove:
        delete widget(index);
        tabs_.erase(tabs_.begin() + index);
        break;
      case TabChange::Kind::kInsert:
        insertTab(index, new QWidget, platform::ScreenText(change.tab.name));
        tabs_.insert(tabs_.begin() + index, change.tab);
        break;
      case TabChange::Kind::kUpdate:
        setTabText(index, platform::ScreenText(change.tab.name));
        tabs_[change.index] = change.tab;
        break;
    }
  }
  ShowCurrentTab();
}

void ReportViewer::ShowCurrentTab() {
  const int index = currentIndex();
  if (index < 0 || index >= static_cast<int>(tabs_.size())) return;
  const ReportTab& tab = tabs_[static_cast<size_t>(index)];
  std::string text = TabText(tab, report_.header, report_.sections);
  QWidget* page = widget(index);
  const bool same_tab = index == shown_index_ && tab.key == shown_key_;
  if (same_tab && text == shown_text_ && !page->findChildren<QWidget*>().isEmpty()) return;
  // Only the current tab holds a view: the one shown before is given up.
  for (int other = 0; other < count(); ++other) {
    if (other == index) continue;
    for (QWidget* child : widget(other)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      child->deleteLater();
  }
  for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) delete child;
  delete page->layout();
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(BuildView(TabView(tab, text), page));
  shown_index_ = index;
  shown_key_ = tab.key;
  shown_text_ = std::move(text);
}

QWidget* ReportViewer::BuildView(const ReportView& view, QWidget* page) const {
  const QFont& font = view.fixed_pitch ? fonts_.fixed : fonts_.text;
  if (view.plain_text || view.columns.empty()) {
    auto* text = new QPlainTextEdit(page);
    text->setReadOnly(true);
    text->setFont(font);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setPlainText(platform::ScreenText(view.text));
    return text;
  }
  auto* list = new QTreeView(page);
  list->setFont(font);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setAlternatingRowColors(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->header()->setStretchLastSection(true);
  list->header()->setVisible(view.column_names_shown);
  QFont title_font = font;
  title_font.setBold(true);
  auto* model = new ReportViewModel(view, title_font, list);
  list->setModel(model);
  const QFontMetrics metrics(font);
  for (size_t column = 0; column < view.columns.size(); ++column) {
    list->setColumnWidth(static_cast<int>(column), ColumnWidth(view, column, metrics));
  }
  for (size_t row = 0; row < view.rows.size(); ++row) {
    if (view.rows[row].style == RowStyle::kTitle)
      list->setFirstColumnSpanned(static_cast<int>(row), QModelIndex(), true);
  }
  return list;
}

}  // namespace userdb::crash
