// The report assistants in the real crash helper, on a display, driven through the keys
// as a user drives them, while the crashed program's side waits for the answer: the
// contact page's Continue and colours, "remember me" across two helpers, skip, the
// screenshot page with the image editor, and the send that follows. With
// USERDB_SCREENSHOT_FOLDER set, the pages of a send are photographed there.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <future>

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <sstream>

#include "crash/capture/report_assistant.h"
#include "crash/report/report_folders.h"
#include "crash/send/bitmap_file.h"
#include "tests/crash/capture/failing_program.h"
#include "tests/crash/capture/program_exception.h"
#include "tests/crash/send/fake_desktop.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_folder.h"

namespace userdb::crash {

namespace {

using test_support::Command;
using test_support::FakeDesktop;
using test_support::FileText;
using test_support::Keys;
using test_support::TempFolder;
using test_support::WaitForWindow;

// The window of the helper with its frame, as the screen shows it, into the screenshot
// folder when one is named.
void Photograph(const std::string& window, const std::string& name) {
  const char* folder = std::getenv("USERDB_SCREENSHOT_FOLDER");
  if (folder == nullptr) return;
  static int argc = 1;
  static char program[] = "assistant_windows_test";
  static char* argv[] = {program, nullptr};
  static QGuiApplication* application =
      QGuiApplication::instance() == nullptr ? new QGuiApplication(argc, argv) : nullptr;
  (void)application;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the frame settles
  // The window's place and size, widened by the window manager's frame around it.
  std::istringstream place(
      Command("xwininfo -id " + window +
              " | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} "
              "/Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'"));
  int x = 0, y = 0, width = 0, height = 0;
  place >> x >> y >> width >> height;
  std::string extents = Command("xprop -id " + window + " _NET_FRAME_EXTENTS");
  std::replace(extents.begin(), extents.end(), ',', ' ');
  std::istringstream frame(extents.substr(extents.find('=') + 1));
  int left = 0, right = 0, top = 0, bottom = 0;
  frame >> left >> right >> top >> bottom;
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
      0, x - left, y - top, width + left + right, height + top + bottom);
  EXPECT_TRUE(shot.save(QString(folder) + "/" + QString::fromStdString(name) + ".png"));
}

using test_support::ProgramException;

// The crash helper started for assistants, as the crash reporter starts it.
class AssistantHelper {
 public:
  AssistantHelper(const std::string& config, const std::string& describe,
                  const std::string& search_path) {
    int ends[2];
    socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
    socket_ = ends[0];
    pid_ = fork();
    if (pid_ == 0) {
      dup2(ends[1], STDIN_FILENO);
      dup2(ends[1], STDOUT_FILENO);
      setenv("XDG_CONFIG_HOME", config.c_str(), 1);
      setenv("USERDB_CRASH_ASSISTANT_DESCRIBE", describe.c_str(), 1);
      setenv("PATH", (search_path + ":" + std::getenv("PATH")).c_str(), 1);
      execl(USERDB_CRASH_HELPER, USERDB_CRASH_HELPER, nullptr);
      _exit(127);
    }
    close(ends[1]);
  }
  ~AssistantHelper() {
    close(socket_);
    for (int tries = 0; tries < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++tries) usleep(20000);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

  AssistantChannel Channel() {
    return {[this](const HelperMessage& message) {
              const std::string bytes = EncodeHelperMessage(message);
              return send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                     static_cast<ssize_t>(bytes.size());
            },
            [this]() -> std::optional<HelperMessage> {
              for (;;) {
                if (auto message = reader_.Next()) return message;
                pollfd ready{socket_, POLLIN, 0};
                if (poll(&ready, 1, 60000) <= 0) return std::nullopt;
                char buffer[65536];
                const ssize_t got = read(socket_, buffer, sizeof buffer);
                if (got <= 0) return std::nullopt;
                reader_.Feed(std::string_view(buffer, static_cast<size_t>(got)));
              }
            }};
  }

 private:
  int socket_ = -1;
  pid_t pid_ = -1;
  HelperMessageReader reader_;
};

class AssistantWindowsTest : public ::testing::Test {
 protected:
  AssistantWindowsTest() {
    std::filesystem::create_directories(base_.Path() + "/config");
    std::filesystem::create_directories(base_.Path() + "/tmp");
    desktop_.Program("xdg-open", 0);
  }

  // Starts the assistant of `action` in a helper of its own; the future tells its result.
  std::future<bool> Run(ReportAction action) {
    helper_.emplace(base_.Path() + "/config", Describe(), desktop_.Programs().search_path);
    parts_.emplace(AssistantParts{cache_, screenshot_, base_.Path() + "/tmp/", helper_->Channel()});
    return std::async(std::launch::async,
                      [this, action] { return RunReportAssistant(action, *exception_, *parts_); });
  }

  std::string Describe() const { return base_.Path() + "/describe.txt"; }
  // Waits until the page's description holds every one of `parts`.
  bool PageShows(std::initializer_list<std::string> parts) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end) {
      const std::string text = FileText(Describe());
      bool all = true;
      for (const std::string& part : parts) all = all && text.find(part) != std::string::npos;
      if (all) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    ADD_FAILURE() << "the page shows:\n" << FileText(Describe());
    return false;
  }
  std::string Window(const std::string& title = "Send Assistant") {
    return WaitForWindow("--name '^" + title + "$'");
  }
  void Type(const std::string& window, const std::string& text) {
    Command("xdotool windowactivate --sync " + window + " 2>/dev/null; xdotool type --delay 30 '" +
            text + "'");
  }
  static bool Finished(std::future<bool>& result) {
    return result.wait_for(std::chrono::seconds(15)) == std::future_status::ready;
  }
  std::string Registry() const {
    return FileText(base_.Path() + "/config/userdb-transform/registry.reg");
  }
  // The contact page with an address, continued; photographed as `photo` when named.
  void ContinueContactPage(const std::string& window, const std::string& photo = {}) {
    Type(window, "Ann Berg");
    Keys(window, "Tab");
    Type(window, "ann@example.org");
    ASSERT_TRUE(PageShows({"ContinueBtn enabled=1"}));
    if (!photo.empty()) Photograph(window, photo);
    Keys(window, "Tab Tab Return");
  }

  TempFolder base_;
  FakeDesktop desktop_;
  std::shared_ptr<CaughtException> exception_ = ProgramException();
  FormCache cache_;
  std::optional<ScreenImage> screenshot_;
  std::optional<AssistantHelper> helper_;
  std::optional<AssistantParts> parts_;
};

TEST_F(AssistantWindowsTest, ContinueWaitsForAWellFormedAddressAndTheTextTurnsGreen) {
  std::future<bool> result = Run(ReportAction::kSend);
  // No screenshot: two pages.
  ASSERT_TRUE(PageShows({"page 1 of 2 ContactForm", "focus NameEdit", "ContinueBtn enabled=0"}));
  const std::string window = Window();
  Keys(window, "Tab");
  Type(window, "ann@example");
  ASSERT_TRUE(PageShows({"EmailEdit enabled=1 checked=0 colour=128,0,0 text=ann@example\n",
                         "ContinueBtn enabled=0"}));
  Type(window, ".org");
  ASSERT_TRUE(PageShows({"EmailEdit enabled=1 checked=0 colour=0,128,0 text=ann@example.org\n",
                         "ContinueBtn enabled=1"}));
  Keys(window, "Escape");
  ASSERT_TRUE(Finished(result));
  EXPECT_FALSE(result.get());
  EXPECT_FALSE(exception_->Report().Header("contact email"));
}

TEST_F(AssistantWindowsTest, RememberMeFillsTheNextHelpersPageUntilItIsUnchecked) {
  std::future<bool> first = Run(ReportAction::kSave);
  ASSERT_TRUE(PageShows({"page 1 of 2 ContactForm"}));
  std::string window = Window("Save Assistant");
  Type(window, "Ann Berg");
  Keys(window, "Tab");
  Type(window, "ann@example.org");
  Keys(window, "Tab space");
  ASSERT_TRUE(PageShows({"MemCheck enabled=1 checked=1"}));
  Keys(window, "Tab Return");
  ASSERT_TRUE(PageShows({"page 2 of 2 DetailsForm"}));
  Keys(Window("Save Assistant"), "Escape");
  ASSERT_TRUE(Finished(first));
  EXPECT_FALSE(first.get());
  EXPECT_NE(Registry().find("\"RememberEmail\"=\"ann@example.org\""), std::string::npos);

  // A restarted program: a new helper, an empty form cache.
  cache_ = FormCache();
  std::future<bool> second = Run(ReportAction::kSave);
  ASSERT_TRUE(PageShows({"page 1 of 2 ContactForm", "focus ContinueBtn",
                         "MemCheck enabled=1 checked=1", "text=ann@example.org\n",
                         "NameEdit enabled=1 checked=0 colour=0,128,0 text=Ann Berg\n"}));
  window = Window("Save Assistant");
  Keys(window, "shift+Tab space");
  ASSERT_TRUE(PageShows({"MemCheck enabled=1 checked=0"}));
  Keys(window, "Tab Return");
  ASSERT_TRUE(PageShows({"page 2 of 2 DetailsForm"}));
  Keys(Window("Save Assistant"), "Escape");
  ASSERT_TRUE(Finished(second));
  EXPECT_EQ(Registry().find("RememberEmail"), std::string::npos);
  EXPECT_EQ(Registry().find("RememberName"), std::string::npos);
}

TEST_F(AssistantWindowsTest, SkipOnTheDetailsPageAddsNoSection) {
  std::future<bool> result = Run(ReportAction::kSend);
  ASSERT_TRUE(PageShows({"page 1 of 2 ContactForm"}));
  ContinueContactPage(Window());
  ASSERT_TRUE(PageShows({"page 2 of 2 DetailsForm", "focus DetailsMemo", "SkipBtn enabled=1"}));
  const std::string window = Window();
  Type(window, "it broke");
  ASSERT_TRUE(PageShows({"text=it broke"}));
  Keys(window, "shift+Tab shift+Tab space");
  ASSERT_TRUE(Finished(result));
  EXPECT_TRUE(result.get());
  EXPECT_EQ(exception_->Report().Header("contact email"), "ann@example.org");
  EXPECT_FALSE(exception_->Report().Section("error details"));
}

TEST_F(AssistantWindowsTest, TheScreenshotIsEditedInTheDesktopsProgramAndItsAttachmentDropped) {
  screenshot_ = ScreenImage(400, 300, PixelOf(200, 40, 40));
  exception_->Handling().attach_screenshot = true;
  std::future<bool> result = Run(ReportAction::kSend);
  ASSERT_TRUE(PageShows({"page 1 of 3 ContactForm"}));
  ContinueContactPage(Window());
  ASSERT_TRUE(PageShows({"page 2 of 3 DetailsForm"}));
  std::string window = Window();
  Type(window, "it broke");
  Keys(window, "Tab Return");
  ASSERT_TRUE(PageShows(
      {"page 3 of 3 ScrShotForm", "focus ContinueBtn", "AttachCheck enabled=1 checked=1"}));
  window = Window();
  // The image: a click writes the bitmap file and opens it.
  Keys(window, "shift+Tab space");
  const std::string bitmap = base_.Path() + "/tmp/screenShot.bmp";
  for (int tries = 0; tries < 300 && !desktop_.ArgumentsOf("xdg-open"); ++tries) usleep(20000);
  ASSERT_EQ(desktop_.ArgumentsOf("xdg-open"), (std::vector<std::string>{bitmap}));
  EXPECT_EQ(ReadBitmapFile(bitmap), screenshot_);
  // The editor saves; the page takes the file within a tick of its timer.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const ScreenImage edited(40, 30, PixelOf(0, 0, 255));
  WriteBitmapFile(bitmap + ".new", edited);
  std::filesystem::rename(bitmap + ".new", bitmap);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  Keys(window, "shift+Tab space");
  ASSERT_TRUE(PageShows({"AttachCheck enabled=1 checked=0"}));
  Keys(window, "Tab Tab Return");
  ASSERT_TRUE(Finished(result));
  EXPECT_TRUE(result.get());
  EXPECT_EQ(screenshot_, edited);
  EXPECT_FALSE(exception_->Handling().attach_screenshot);
  EXPECT_FALSE(std::filesystem::exists(bitmap));
}

// The send that follows the send assistant, with a fake mail program and mail handler.
struct SendCase {
  std::string name;
  bool uncheck_screenshot = false;
  int mail_program_status = 0;  // 3: no mail program
  std::string mail_handler;     // what xdg-mime names; empty: none
  std::vector<std::string> attached;
  bool failure_shown = false;
};

class SendAfterAssistantTest : public AssistantWindowsTest,
                               public ::testing::WithParamInterface<SendCase> {};

TEST_P(SendAfterAssistantTest, SendsWhatTheUserLeftAttached) {
  const SendCase& send_case = GetParam();
  desktop_.Program("xdg-email", send_case.mail_program_status);
  desktop_.Program("xdg-mime", 0, send_case.mail_handler);
  mkdir((base_.Path() + "/mail").c_str(), 0700);
  TemporaryFolder temporary(base_.Path() + "/mail/userdb-transform.Quorvex");
  const BugReportFileWriter report_file(
      ReportFolders{base_.Path() + "/program/", base_.Path() + "/state/"});
  std::filesystem::create_directories(base_.Path() + "/program");
  test_support::RecordingMessageBox box;
  const ReportSender sender({temporary, report_file, box, nullptr, desktop_.Programs()});
  screenshot_ = ScreenImage(64, 48, PixelOf(10, 200, 10));
  exception_->Handling().attach_screenshot = true;
  helper_.emplace(base_.Path() + "/config", Describe(), desktop_.Programs().search_path);
  parts_.emplace(AssistantParts{cache_, screenshot_, base_.Path() + "/tmp/", helper_->Channel()});
  auto sent = std::async(std::launch::async, [&]() -> std::optional<SendHandle> {
    if (!RunReportAssistant(ReportAction::kSend, *exception_, *parts_)) return std::nullopt;
    return SendAssistedReport(exception_, screenshot_, sender, "the report\r\n", false);
  });
  ASSERT_TRUE(PageShows({"page 1 of 3 ContactForm"}));
  ContinueContactPage(Window(), "send-assistant-contact");
  ASSERT_TRUE(PageShows({"page 2 of 3 DetailsForm"}));
  Type(Window(), "it broke");
  Photograph(Window(), "send-assistant-details");
  Keys(Window(), "Tab Return");
  ASSERT_TRUE(PageShows({"page 3 of 3 ScrShotForm"}));
  Photograph(Window(), "send-assistant-screenshot");
  if (send_case.uncheck_screenshot) {
    Keys(Window(), "shift+Tab shift+Tab space");
    ASSERT_TRUE(PageShows({"AttachCheck enabled=1 checked=0"}));
    Keys(Window(), "Tab Tab Return");
  } else {
    Keys(Window(), "Return");
  }
  ASSERT_EQ(sent.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  std::optional<SendHandle> handle = sent.get();
  ASSERT_TRUE(handle);
  handle->Wait();

  const auto arguments = desktop_.ArgumentsOf("xdg-email");
  ASSERT_TRUE(arguments);
  std::vector<std::string> attached;
  for (size_t index = 0; index + 1 < arguments->size(); ++index) {
    if ((*arguments)[index] == "--attach")
      attached.push_back(std::filesystem::path((*arguments)[index + 1]).filename());
  }
  EXPECT_EQ(attached, send_case.attached);
  const std::vector<test_support::ShownMessage> shown = box.Shown();
  EXPECT_EQ(!shown.empty() && shown.front().text ==
                                  "Sorry, das Senden des Fehlerberichts per E-Mail hat nicht "
                                  "funktioniert!",
            send_case.failure_shown);
  EXPECT_EQ(exception_->Handling().report_sent.load(), !send_case.failure_shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SendAfterAssistantTest,
    ::testing::Values(
        SendCase{"BothAttachments", false, 0, "", {"bugreport.txt", "screenshot.png"}, false},
        SendCase{"ScreenshotUnchecked", true, 0, "", {"bugreport.txt"}, false},
        SendCase{"NoMailProgramNorHandler", true, 3, "", {"bugreport.txt"}, true}),
    [](const auto& test_case) { return test_case.param.name; });

}  // namespace

}  // namespace userdb::crash
