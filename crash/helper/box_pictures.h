// The pictures of the crash reporter's windows, drawn here rather than loaded: the 16 × 16
// picture of each button kind (with alpha), the picture of a continue button that cannot
// continue, and the 32 × 32 pictures of the box, of the please-wait box and of the box that
// shows a send preparing its attachments.
#pragma once

#include <QImage>

#include "crash/box/button_kind.h"

namespace userdb::crash {

QImage ButtonPicture(ButtonKind kind);
QImage CantContinuePicture();
QImage BigPicture();
QImage PleaseWaitPicture();
QImage SendingPicture();

}  // namespace userdb::crash
