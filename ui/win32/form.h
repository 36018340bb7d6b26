// A top-level window of the application: its window class with the program's
// icon, the form's font at the window's DPI, and the messages every form
// handles alike (keyboard focus across activation, DPI changes). A form
// derived from it adds its controls and handlers. The form object is handed
// to its window at creation and found again through the window
// (window_class.h); exceptions in its handlers are reported (exception.h).
#pragma once

#include "tform1_layout.h"

#include "font.h"

#include <windows.h>

#include <string_view>

class TForm {
  public:
    TForm(const TForm &) = delete;
    TForm &operator=(const TForm &) = delete;
    virtual ~TForm();

    HWND Handle() const { return handle_; }

    // The form's font: the dialog font at the window's DPI (font.h), or the
    // stock GUI font when that could not be made. WM_GETFONT returns it.
    HFONT Font() const { return fontOrStock(font_); }

    // Shows the window, active, with the focus on its first control.
    void Show();

    // The DPI the form is laid out at: its monitor's, or less where the
    // window would not fit into the monitor's work area at that
    // (layout::fitDpi).
    UINT LayoutDpi() const { return layoutDpi_; }

  protected:
    // Creates the hidden window with `title` at the outer rectangle `outer`:
    // its size scaled to the layout DPI, its position as given, moved only
    // as far as it takes to keep the window inside the work area of its
    // monitor.
    TForm(std::u16string_view title, const layout::Rect &outer);

    // Places the controls for `dpi`; the form's font is already set for it.
    virtual void Arrange(UINT dpi) = 0;

    // A message for the window; the default handling is DefWindowProcW's.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Sets the font for `dpi` and places the controls.
    void ApplyDpi(UINT dpi);

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Sizes the window for the largest DPI up to `windowDpi` at which it
    // fits into `area`, with its top-left corner at `place`, and moves it
    // into the area; returns that DPI.
    UINT fit(UINT windowDpi, POINT place, const RECT &area);

    layout::Rect outer_;
    UINT layoutDpi_ = 96;
    HWND handle_ = nullptr;
    HWND focus_ = nullptr; // the control that had the focus when the form was deactivated
    FontHandle font_;      // null when the stock font stands in
};
