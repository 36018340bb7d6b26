// Message boxes on Qt.
#pragma once

#include <QMessageBox>

// Widens `box` so that a window manager has room for its whole caption in
// the title bar beside its buttons; a box sized to a short text would cut it.
void fitCaption(QMessageBox &box);
