// The progress of a long send, for serial::sendText: while the send runs the
// form's controls are disabled, so that nothing else starts, but the form
// keeps repainting and answering, its close box included; once the send has
// taken longer than half a second a small window shows the bytes sent of the
// total, as a bar and as figures, with a Cancel button, in the dialog font
// at the window's DPI (scaled again when the window moves to a monitor of
// another DPI).
#pragma once

#include "font.h"

#include <windows.h>

#include <cstddef>
#include <functional>

class SendProgress {
  public:
    // `enableForm(false)` disables the form's controls, `enableForm(true)`
    // enables them again; `formClosed()` says whether the user has asked to
    // close the form since.
    SendProgress(HWND form, std::function<void(bool)> enableForm, std::function<bool()> formClosed);
    ~SendProgress();
    SendProgress(const SendProgress &) = delete;
    SendProgress &operator=(const SendProgress &) = delete;

    // Shows how far the send got and dispatches the waiting messages; false
    // once the user has cancelled the send or closed the form.
    bool operator()(std::size_t sent, std::size_t total);

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void createWindow();
    // Places the controls and sets their font for `dpi`.
    void arrange(UINT dpi);

    HWND form_;
    HWND focus_;
    std::function<void(bool)> enableForm_;
    std::function<bool()> formClosed_;
    ULONGLONG start_;
    bool disabled_ = false;
    bool cancelled_ = false;
    HWND window_ = nullptr;
    HWND bar_ = nullptr;
    HWND figures_ = nullptr;
    HWND cancel_ = nullptr;
    FontHandle font_; // the controls' font; the window goes first, in the destructor
};
