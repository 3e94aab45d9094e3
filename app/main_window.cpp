#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStringList>
#include <QStyle>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/appearance.h"
#include "app/file_drop.h"
#include "app/gradient_progress_bar.h"
#include "app/log_pane.h"
#include "app/option_group.h"
#include "app/version_caption.h"
#include "conversion/conversion_run.h"
#include "conversion/radio_type.h"
#include "conversion/radioid_csv.h"
#include "platform/qt/screen_text.h"
#include "settings/selections.h"

namespace userdb::app {

namespace {

constexpr char kCaption[] = "Transform UserDb.bin for VI9600/MD2017 usage";
constexpr char kVersionCaption[] = "Ver.: ";

// The window as drawn: its client area, and its outer rectangle where nothing else places it.
constexpr QSize kDesignedClient(504, 340);
constexpr settings::WindowRectangle kDesignedPlacement{286, 242, 286 + 520, 242 + 378};
constexpr QSize kMinimumOuterSize(400, 310);
constexpr int kTransformMinimumWidth = 75;

constexpr Anchors kTopLeft = kAnchorLeft | kAnchorTop;
constexpr Anchors kTopRight = kAnchorTop | kAnchorRight;
constexpr Anchors kTopLeftRight = kAnchorLeft | kAnchorTop | kAnchorRight;
constexpr Anchors kAllEdges = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;

std::vector<std::string> Captions(const auto& captions) {
  return std::vector<std::string>(std::begin(captions), std::end(captions));
}

}  // namespace

TfrmUserDb::TfrmUserDb(registry::RegistryStore& store, NoticeStream& notices,
                       UnhandledErrorHandler& error_handler, QString application_title)
    : store_(store),
      notices_(notices),
      error_handler_(error_handler),
      application_title_(std::move(application_title)),
      layout_(kDesignedClient),
      placement_(*this),
      saver_(store, placement_, message_box_) {
  setObjectName("frmUserDb");
  setWindowTitle(kCaption);
  setFont(WindowFont());
  setStyleSheet(WindowStyleSheet());
  CreateControls();
  SetTabOrder();
  placement_.SetMinimumOuterSize(kMinimumOuterSize);
  placement_.SetNormalRectangle(kDesignedPlacement);
  // Failures here are reported and the window is made all the same, without what the
  // failed step would have done.
  try {
    saver_.PrepareInitialPosition();
  } catch (...) {
    error_handler_.Handle(std::current_exception());
  }
  try {
    FormCreate();
  } catch (...) {
    error_handler_.Handle(std::current_exception());
  }
  AppendToLog({});
}

TfrmUserDb::~TfrmUserDb() = default;

void TfrmUserDb::CreateControls() {
  lblUserdbauswahl = new QLabel("Select UserDb.bin first", this);
  lblUserdbauswahl->setObjectName("lblUserdbauswahl");
  layout_.Add(lblUserdbauswahl, QRect(16, 8, 105, 13), kTopLeft, true);

  lblVersion = new QLabel(kVersionCaption, this);
  lblVersion->setObjectName("lblVersion");
  layout_.Add(lblVersion, QRect(362, 8, 25, 13), kTopRight, true);

  edtUserdbauswahl = new QLineEdit(this);
  edtUserdbauswahl->setObjectName("edtUserdbauswahl");
  QAction* browse = edtUserdbauswahl->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                                QLineEdit::TrailingPosition);
  connect(browse, &QAction::triggered, this, [this] { edtUserdbauswahlButtonClick(); });
  layout_.Add(edtUserdbauswahl, QRect(18, 24, 474, 21), kTopLeftRight);

  grpRadioType = new OptionGroup("Select radio type for output format",
                                 Captions(conversion::kRadioTypeCaptions), 2, this);
  grpRadioType->setObjectName("grpRadioType");
  grpRadioType->SetItemIndex(conversion::kMd9600);
  connect(grpRadioType, &OptionGroup::Changing, this,
          [this](int new_index) { grpRadioTypeChanging(new_index); });
  layout_.Add(grpRadioType, QRect(18, 56, 217, 41), kTopLeft);

  grpDataType = new OptionGroup("Display format (MD2017 only)",
                                Captions(conversion::kDisplayFormatCaptions), 2, this);
  grpDataType->setObjectName("grpDataType");
  grpDataType->SetItemIndex(conversion::kCompact);
  layout_.Add(grpDataType, QRect(248, 56, 169, 41), kTopLeft);

  btnWeiter = new QPushButton("Transform", this);
  btnWeiter->setObjectName("btnWeiter");
  btnWeiter->setMinimumWidth(kTransformMinimumWidth);
  btnWeiter->setAutoDefault(true);  // Enter activates it when it has the focus, as Space does
  connect(btnWeiter, &QPushButton::clicked, this, [this] { btnWeiterClick(); });
  layout_.Add(btnWeiter, QRect(18, 104, 75, 25), kTopLeft);

  lblAction = new QLabel("Process action", this);
  lblAction->setObjectName("lblAction");
  layout_.Add(lblAction, QRect(18, 136, 70, 13), kTopLeft, true);

  ProgressBar = new GradientProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  layout_.Add(ProgressBar, QRect(104, 140, 385, 9), kTopLeftRight);

  Memo = new LogPane(this);
  Memo->setObjectName("Memo");
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setTabChangesFocus(true);
  layout_.Add(Memo, QRect(18, 152, 475, 180), kAllEdges);

  auto* file_drop =
      new FileDropTarget([this](const std::string& path) { SetPathText(path); }, this);
  file_drop->Watch(*this);
  file_drop->Watch(*edtUserdbauswahl);
  file_drop->Watch(*Memo);
}

void TfrmUserDb::SetTabOrder() {
  const QWidget* const order[] = {
      edtUserdbauswahl,     btnWeiter,           Memo, grpRadioType->Item(0), grpRadioType->Item(1),
      grpDataType->Item(0), grpDataType->Item(1)};
  for (size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
  }
  edtUserdbauswahl->setFocus();
}

void TfrmUserDb::FormCreate() {
  // The region table is filled with the lists: it owes nothing to the stored selections,
  // and one that cannot be read must not leave every later conversion without it.
  lists_ = conversion::CreateConversionLists();
  Memo->clear();
  lblVersion->setText(
      platform::ScreenText(VersionCaption(kVersionCaption, ProgramVersionRecord())));
  layout_.Apply(size());
  settings::LoadSelections(store_, *this);
}

void TfrmUserDb::btnWeiterClick() {
  btnWeiter->setEnabled(false);
  // Every way out gives the button back, a failure too, before the failure is reported;
  // and with it the keyboard focus, which disabling it passed on to the log pane.
  const auto enable_again = qScopeGuard([this] {
    btnWeiter->setEnabled(true);
    btnWeiter->setFocus();
  });
  const conversion::TransformSelections selections = Selections();
  if (const std::optional<std::string_view> refusal = conversion::TransformRefusal(selections)) {
    message_box_.Show(application_title_.toStdString(), *refusal, platform::MessageKind::kNotice);
    return;
  }
  if (!lists_) return;
  // The log pane is not repainted while a run lasts: its lines, after any notice that
  // storing the selections gave, are added in one piece when the command ends, also when it
  // fails, which is much faster than one by one.
  QStringList run_log;
  const auto show_run_log = qScopeGuard([&] { AppendToLog(run_log); });
  settings::StoreSelections(store_, selections.input_path, *selections.radio_type,
                            selections.display_format);
  conversion::ConversionSinks sinks;
  sinks.log = [&run_log](std::string_view line) { run_log.append(platform::ScreenText(line)); };
  sinks.set_total_parts = [this](int32_t total) { ProgressBar->SetTotalParts(total); };
  sinks.set_parts_complete = [this](int32_t parts) { ProgressBar->SetPartsComplete(parts); };
  try {
    conversion::ConversionRun(conversion::TransformRequest(selections), *lists_, sinks);
  } catch (const conversion::MissingColumnError& error) {
    // A file of the wrong kind is the user's choice, not a failure of the program: told in
    // a box, with nothing logged or written.
    message_box_.Show(application_title_.toStdString(), error.Message(),
                      platform::MessageKind::kError);
  }
}

void TfrmUserDb::AppendToLog(const QStringList& lines) {
  QStringList shown;
  for (const std::string& notice : notices_.TakeLines()) shown.append(platform::ScreenText(notice));
  shown.append(lines);
  if (!shown.isEmpty()) Memo->AppendLines(shown.join('\n'));
}

void TfrmUserDb::grpRadioTypeChanging(int new_index) {
  grpDataType->setEnabled(new_index == conversion::kMd2017);
}

void TfrmUserDb::edtUserdbauswahlButtonClick() {
  edtUserdbauswahl->setText(OpenDialog.Execute(this) ? platform::ScreenText(OpenDialog.FileName())
                                                     : QString());
}

conversion::TransformSelections TfrmUserDb::Selections() const {
  conversion::TransformSelections selections;
  selections.input_path = platform::PathBytes(edtUserdbauswahl->text());
  selections.radio_type = conversion::RadioTypeOfIndex(grpRadioType->ItemIndex());
  selections.display_format = conversion::DisplayFormatOfIndex(grpDataType->ItemIndex());
  return selections;
}

void TfrmUserDb::setVisible(bool visible) {
  // Placed before the window system's window is made, so that it is made where it belongs.
  if (visible && !isVisible()) {
    try {
      saver_.RestorePlacement();
    } catch (...) {
      // Reported here rather than left to escape: the window is shown all the same.
      error_handler_.Handle(std::current_exception());
    }
  }
  QWidget::setVisible(visible);
}

void TfrmUserDb::closeEvent(QCloseEvent* event) {
  saver_.SavePlacement();
  QWidget::closeEvent(event);
}

void TfrmUserDb::resizeEvent(QResizeEvent* event) {
  layout_.Apply(size());
  QWidget::resizeEvent(event);
}

void TfrmUserDb::SetInitialFolder(const std::string& folder) {
  OpenDialog.SetInitialFolder(folder);
}

void TfrmUserDb::SetPathText(const std::string& text) {
  edtUserdbauswahl->setText(platform::ScreenText(text));
}

void TfrmUserDb::SetRadioTypeSelection(int index) {
  grpRadioType->SetItemIndex(index);
}

int TfrmUserDb::RadioTypeSelection() const {
  return grpRadioType->ItemIndex();
}

void TfrmUserDb::SetDisplayFormatSelection(int index) {
  grpDataType->SetItemIndex(index);
}

void TfrmUserDb::SetDisplayFormatEnabled(bool enabled) {
  grpDataType->setEnabled(enabled);
}

}  // namespace userdb::app
