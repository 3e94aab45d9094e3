// The screenshot's PNG: the mean colour error of the 8-bit palette form (Wu's quantizer and
// the nearest entry) on real screenshots and on a photo-like gradient, the files' sizes,
// and the time to encode a 1280 × 1024 screen.
//
// Real screenshots: the window of userdb-transform (started here, on the X display of the
// caller: `make bench` gives it a virtual one) taken as the crash reporter takes it, the
// whole screen with it, and docs/window.png. Without a display only the file and the
// gradient are measured.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "crash/send/png_encoder.h"
#include "crash/send/screenshot.h"
#include "tests/crash/send/test_images.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace {

using userdb::crash::ScreenImage;

ScreenImage FromQImage(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  ScreenImage result(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) result.At(x, y) = image.pixel(x, y) & 0x00FFFFFF;
  }
  return result;
}

double MeanError(const ScreenImage& original, const std::string& png) {
  QImage decoded;
  decoded.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()),
                       "PNG");
  double total = 0;
  for (int y = 0; y < original.height; ++y) {
    for (int x = 0; x < original.width; ++x) {
      const uint32_t a = original.At(x, y), b = decoded.pixel(x, y) & 0x00FFFFFF;
      const double red = userdb::crash::RedOf(a) - userdb::crash::RedOf(b);
      const double green = userdb::crash::GreenOf(a) - userdb::crash::GreenOf(b);
      const double blue = userdb::crash::BlueOf(a) - userdb::crash::BlueOf(b);
      total += std::sqrt(red * red + green * green + blue * blue);
    }
  }
  return total / (static_cast<double>(original.width) * original.height);
}

// userdb-transform on the display, with settings of its own, until the benchmark ends.
class RunningProgram {
 public:
  RunningProgram() {
    const std::string config = "XDG_CONFIG_HOME=" + folder_.Path();
    const std::string state = "XDG_STATE_HOME=" + folder_.Path();
    std::vector<char*> environment = {const_cast<char*>(config.c_str()),
                                      const_cast<char*>(state.c_str())};
    for (char** variable = environ; *variable != nullptr; ++variable) {
      environment.push_back(*variable);
    }
    environment.push_back(nullptr);
    char* arguments[] = {const_cast<char*>(PROGRAM_PATH), nullptr};
    if (posix_spawn(&pid_, PROGRAM_PATH, nullptr, nullptr, arguments, environment.data()) != 0) {
      pid_ = 0;
    }
  }
  ~RunningProgram() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  pid_t Pid() const { return pid_; }

 private:
  userdb::test_support::TempFolder folder_;
  pid_t pid_ = 0;
};

// The program's window as the crash reporter takes it, once it has shown.
std::optional<ScreenImage> ProgramWindow(pid_t program) {
  userdb::crash::ScreenshotOptions options;
  options.process = program;
  for (int attempt = 0; attempt < 150; ++attempt) {
    if (auto shot = userdb::crash::TakeScreenshot(options)) {
      // Give it time to paint, then take it again.
      std::this_thread::sleep_for(std::chrono::seconds(1));
      return userdb::crash::TakeScreenshot(options);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return std::nullopt;
}

void EncodeAndMeasure(benchmark::State& state, const ScreenImage& image, int format) {
  std::optional<std::string> png;
  for (auto _ : state) {
    png = userdb::crash::EncodePng(image, format);
    benchmark::DoNotOptimize(png);
  }
  if (!png) {
    state.SkipWithError("the image could not be encoded");
    return;
  }
  state.counters["png_bytes"] = static_cast<double>(png->size());
  // The grey form is no colour form: its distance from the colours tells nothing.
  if (format == 0) state.counters["mean_colour_error"] = MeanError(image, *png);
  state.counters["pixels"] = static_cast<double>(image.pixels.size());
}

void Register(const std::string& name, const ScreenImage& image) {
  for (const int format : {0, 1}) {
    benchmark::RegisterBenchmark(
        (name + (format == 0 ? "/palette" : "/grey")).c_str(),
        [image, format](benchmark::State& state) { EncodeAndMeasure(state, image, format); })
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::optional<RunningProgram> program;
  if (getenv("DISPLAY") != nullptr && PROGRAM_PATH[0] != '\0') {
    program.emplace();
    const auto window =
        program->Pid() != 0 ? ProgramWindow(program->Pid()) : std::optional<ScreenImage>();
    if (window) {
      Register("program_window", *window);
      userdb::crash::ScreenshotOptions whole;
      whole.own_windows_only = false;
      if (const auto screen = userdb::crash::TakeScreenshot(whole)) {
        Register("whole_screen", *screen);
      }
    } else {
      std::fprintf(stderr, "userdb-transform showed no window: no live screenshots\n");
    }
    program.reset();
  }
  QImage file(DOCS_WINDOW_PNG);
  if (!file.isNull()) Register("docs_window_png", FromQImage(file));
  Register("photo_like_1280x1024", userdb::test_support::PhotoLikeImage(1280, 1024));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
