// The Qt front end's message boxes: the serial operations' failure boxes and
// the application's exception box.
#pragma once

#include "comm.h"

#include <QMessageBox>

// Widens `box` so that a window manager has room for its whole caption in
// the title bar beside its buttons; a box sized to a short text would cut it.
void fitCaption(QMessageBox &box);

// A modal QMessageBox with UTF-8 `text` and `caption` and one OK button;
// returns IDOK once it is dismissed. Like the Win32 call, it fails with 0 and
// ERROR_INVALID_PARAMETER for an owner window or any type but MB_OK, which
// the operations never ask for. The application object installs it into
// serial/ (serial::setMessageBox) for as long as it exists.
int WINAPI showMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
