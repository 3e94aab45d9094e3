// How the window looks: its font and the style sheet of its controls.
#pragma once

#include <QFont>
#include <QString>

namespace userdb::app {

// The closest sans-serif face at hand to the one the window was drawn with, at 8 points.
QFont WindowFont();

// A flat path field and button that light up under the mouse, option groups with a
// rounded navy border over a gradient.
QString WindowStyleSheet();

}  // namespace userdb::app
