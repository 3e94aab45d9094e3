#include "platform/message_box.h"

#include <gtest/gtest.h>

namespace userdb::platform {

namespace {

TEST(StandardErrorMessageBox, WritesCaptionAndTextAsOneUtf8Line) {
  StandardErrorMessageBox box;
  ::testing::internal::CaptureStderr();
  box.Show("Quorvex",
           "Die Datei \"a.exe\" scheint defekt zu sein! Anwendung schlie\xDF"
           "en",
           MessageKind::kError);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Quorvex: Die Datei \"a.exe\" scheint defekt zu sein! Anwendung schlie\xC3\x9F"
            "en\n");
}

}  // namespace

}  // namespace userdb::platform
