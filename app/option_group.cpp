#include "app/option_group.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>
#include <functional>
#include <utility>

#include "platform/qt/screen_text.h"

namespace userdb::app {

namespace {

// An option button that reports that the user selects it before it becomes selected: a
// click and the keyboard both go through nextCheckState.
class OptionButton : public QRadioButton {
 public:
  OptionButton(const QString& caption, std::function<void()> before_selection, QWidget* parent)
      : QRadioButton(caption, parent), before_selection_(std::move(before_selection)) {}

 protected:
  void nextCheckState() override {
    if (!isChecked()) before_selection_();
    QRadioButton::nextCheckState();
  }

 private:
  std::function<void()> before_selection_;
};

}  // namespace

OptionGroup::OptionGroup(const std::string& caption, const std::vector<std::string>& items,
                         int columns, QWidget* parent)
    : QGroupBox(platform::ScreenText(caption), parent),
      captions_(items),
      buttons_(new QButtonGroup(this)) {
  auto* layout = new QGridLayout(this);
  // Narrow margins: the items' captions have little room at the designed sizes.
  layout->setContentsMargins(4, 2, 2, 2);
  layout->setSpacing(0);
  for (int index = 0; index < ItemCount(); ++index) {
    auto* button = new OptionButton(
        platform::ScreenText(captions_[index]), [this, index] { emit Changing(index); }, this);
    buttons_->addButton(button, index);
    layout->addWidget(button, index / columns, index % columns);
  }
}

int OptionGroup::ItemIndex() const {
  return buttons_->checkedId();
}

void OptionGroup::SetItemIndex(int index) {
  index = std::clamp(index, -1, ItemCount() - 1);
  if (index >= 0) {
    Item(index)->setChecked(true);
    return;
  }
  // An exclusive group keeps one button checked: clearing needs it lifted for a moment.
  if (QAbstractButton* checked = buttons_->checkedButton()) {
    buttons_->setExclusive(false);
    checked->setChecked(false);
    buttons_->setExclusive(true);
  }
}

QRadioButton* OptionGroup::Item(int index) const {
  return static_cast<QRadioButton*>(buttons_->button(index));
}

}  // namespace userdb::app
