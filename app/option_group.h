// A captioned group of option buttons of which at most one is selected, laid out in
// columns. Unlike a plain button group it can show no selection at all, and it tells of a
// change by the user before the change takes effect.
#pragma once

#include <QGroupBox>
#include <string>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace userdb::app {

class OptionGroup : public QGroupBox {
  Q_OBJECT

 public:
  // `caption` and `items` are the program's 8-bit texts.
  OptionGroup(const std::string& caption, const std::vector<std::string>& items, int columns,
              QWidget* parent);

  // The selected item's index; -1 when none is selected.
  int ItemIndex() const;
  // Selects an item; an index below -1 selects none, one beyond the items the last item.
  void SetItemIndex(int index);

  int ItemCount() const { return static_cast<int>(captions_.size()); }
  const std::string& ItemCaption(int index) const { return captions_.at(index); }
  QRadioButton* Item(int index) const;

 signals:
  // The user is selecting the item `new_index`; it is not selected yet.
  void Changing(int new_index);

 private:
  std::vector<std::string> captions_;
  QButtonGroup* buttons_;
};

}  // namespace userdb::app
