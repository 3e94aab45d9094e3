// A report view's rows as a Qt table model: cells are turned into screen text only when
// they are drawn, so that a view of ten thousand lines comes up at once.
#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include "crash/box/report_view.h"

namespace userdb::crash {

class ReportViewModel : public QAbstractTableModel {
 public:
  ReportViewModel(ReportView view, QFont title_font, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  const ReportView& View() const { return view_; }

 private:
  const ReportView view_;
  const QFont title_font_;
};

}  // namespace userdb::crash
