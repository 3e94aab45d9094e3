// What the crash helper put on the clipboard can still be pasted after the helper and the
// crashed program have ended: a copy of the helper, detached from both, takes over the
// clipboard's text and serves it until another program takes the clipboard, as clipboard
// tools do.
#pragma once

#include <QString>

namespace userdb::crash {

// The argument that starts the helper as the clipboard's keeper, its text on standard input.
inline constexpr char kKeepClipboardArgument[] = "--keep-clipboard";

// When this process owns the clipboard: starts the keeper and waits (a little while) until
// it has taken the clipboard over.
void HandClipboardToKeeper(const QString& helper_path);

// The keeper: takes the text on standard input onto the clipboard and runs until another
// program takes it (or half a day has passed). Needs a QGuiApplication.
int KeepClipboard();

}  // namespace userdb::crash
