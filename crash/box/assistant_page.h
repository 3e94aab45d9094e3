// One page of a report assistant while it is shown: its items' state, the events its
// action handler receives, the rule that enables ContinueBtn, and its result. The helper
// program draws the page and passes every user action through here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/box/colour.h"
#include "crash/box/page_definitions.h"
#include "crash/report/caught_exception.h"

namespace userdb::crash {

enum class PageEvent { kCreated = 0, kShown = 1, kClosed = 2, kItem = 3 };
enum class PageResult { kNone = 0, kContinue = 1, kSkip = 2, kCancel = 3 };

class AssistantPage;

// A page's action handler, registered by name.
class PageHandler {
 public:
  virtual ~PageHandler() = default;
  // `item`: the item of an item event (an edit's text changed, a check box toggled, an image
  // clicked, a button pressed); empty for the page's timer and the other events.
  virtual void OnPageEvent(AssistantPage& page, PageEvent event, std::string_view item,
                           CaughtException& exception) = 0;
};

class AssistantPage {
 public:
  // `handler` may be null; the page keeps both pointers.
  AssistantPage(PageDefinition definition, int number, int count, PageHandler* handler,
                CaughtException* exception);

  const PageDefinition& Definition() const { return definition_; }
  int Number() const { return number_; }  // 1-based
  int Count() const { return count_; }    // of the assistant's pages

  const std::vector<PageItem>& Items() const { return definition_.items; }
  const PageItem* Find(std::string_view name) const;

  // The handler hears "page created" and "page shown"; with the latter the timer runs.
  void Create();
  void Show();
  bool TimerRunning() const { return timer_running_; }

  // Item events: each changes the item, tells the handler and checks ContinueBtn again.
  void SetEditText(std::string_view name, std::string_view text);
  void SetChecked(std::string_view name, bool checked);
  void ClickImage(std::string_view name);
  void TimerTick();
  // Changing an edit's valid flag checks ContinueBtn again.
  void SetValid(std::string_view name, bool valid);

  // ContinueBtn is enabled only while every required edit has a text and is valid.
  bool ContinueEnabled() const;
  bool ButtonEnabled(std::string_view name) const;

  // Pressing an enabled standard button stops the timer, sets the result, tells the handler
  // "page closed" and closes the page; tells whether it did. Escape presses CancelBtn when
  // that is enabled; closing by the title bar counts as cancel.
  bool Press(std::string_view button);
  bool Escape() { return Press(kCancelButton); }
  void CloseByTitleBar();
  PageResult Result() const { return result_; }

  // Where the focus starts: the page's focused item, else the first item after CancelBtn
  // that takes the focus (not a label, nor an image that cannot be clicked).
  std::string InitialFocus() const;
  void SetFocusedItem(std::string_view name) { definition_.focused_item = std::string(name); }

 private:
  PageItem* FindItem(std::string_view name);
  void Tell(PageEvent event, std::string_view item);
  void ItemEvent(std::string_view item);
  void UpdateContinueButton();
  void Close(PageResult result);

  PageDefinition definition_;
  int number_;
  int count_;
  PageHandler* handler_;
  CaughtException* exception_;
  bool continue_defined_enabled_ = true;
  bool timer_running_ = false;
  PageResult result_ = PageResult::kNone;
};

// Dark green (0, 128, 0) for a valid coloured edit, dark red (128, 0, 0) for one not
// valid, black for an edit that is not coloured.
Rgb EditTextColour(const PageItem& edit);

// Cancel as soon as one page was cancelled, else continue.
PageResult AssistantResult(const std::vector<AssistantPage>& pages);

}  // namespace userdb::crash
