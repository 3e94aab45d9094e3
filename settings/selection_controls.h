// The main window's controls that the remembered selections are applied to.
#pragma once

#include <string>

namespace userdb::settings {

class SelectionControls {
 public:
  virtual ~SelectionControls() = default;

  // The folder the input file dialog opens in; empty for the dialog's own choice.
  virtual void SetInitialFolder(const std::string& folder) = 0;
  virtual void SetPathText(const std::string& text) = 0;
  // -1 selects no radio type; otherwise an item index (0 "MD-9600/RT90", 1 "MD-2017/RT82").
  virtual void SetRadioTypeSelection(int index) = 0;
  virtual int RadioTypeSelection() const = 0;
  // An item index (0 "field per line", 1 "compact it").
  virtual void SetDisplayFormatSelection(int index) = 0;
  virtual void SetDisplayFormatEnabled(bool enabled) = 0;
};

}  // namespace userdb::settings
