#include "crash/helper/report_view_model.h"

#include <QColor>

#include "platform/qt/screen_text.h"

namespace userdb::crash {

namespace {

const QColor kExceptionLineColour(0xff, 0xe4, 0xe1);

}  // namespace

ReportViewModel::ReportViewModel(ReportView view, QFont title_font, QObject* parent)
    : QAbstractTableModel(parent), view_(std::move(view)), title_font_(std::move(title_font)) {}

int ReportViewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(view_.rows.size());
}

int ReportViewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(view_.columns.size());
}

QVariant ReportViewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const ViewRow& row = view_.rows[static_cast<size_t>(index.row())];
  const auto column = static_cast<size_t>(index.column());
  switch (role) {
    case Qt::DisplayRole:
      return column < row.cells.size() ? platform::ScreenText(row.cells[column]) : QString();
    case Qt::TextAlignmentRole:
      if (row.style != RowStyle::kTitle && view_.columns[column].right_aligned)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
      if (row.style == RowStyle::kHighlighted) {
        return QColor(kHighlightedRowColour.red, kHighlightedRowColour.green,
                      kHighlightedRowColour.blue);
      }
      if (row.style == RowStyle::kExceptionLine) return kExceptionLineColour;
      return {};
    case Qt::FontRole:
      return row.style == RowStyle::kTitle ? QVariant(title_font_) : QVariant();
    default:
      return {};
  }
}

QVariant ReportViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(view_.columns.size())) {
    return {};
  }
  if (role == Qt::DisplayRole)
    return platform::ScreenText(view_.columns[static_cast<size_t>(section)].name);
  if (role == Qt::TextAlignmentRole && view_.columns[static_cast<size_t>(section)].right_aligned)
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

}  // namespace userdb::crash
