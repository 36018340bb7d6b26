// The main window: the port selector, the send and receive boxes, and the
// four buttons that open the port, send, receive and exit. Its controls are
// made from the layout table in tform1_layout.h. Every way the window ends
// (the close box, Alt+F4, the end of the user's session) closes the port;
// the window's end posts the quit message, as the main window's should.
#pragma once

#include "form.h"

#include <array>
#include <iterator>
#include <string_view>

class TForm1 : public TForm {
  public:
    TForm1();

    // A control by its name in the layout table ("Button1", "rdCOMItem0", ...),
    // or null for a name it does not have.
    HWND Control(std::string_view name) const;

    // The index of the selected item of rdCOM, or -1 when none is.
    int ItemIndex() const;

    void Button1Click(); // open the selected port
    void Button2Click(); // send the send box's text
    void Button3Click(); // put what was received into the receive box
    void Button4Click(); // close the port and end the program

  protected:
    void Arrange(UINT dpi) override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void orderTabStops();
    void enableControls(bool enable);

    std::array<HWND, std::size(layout::controls)> controls_{};
    std::array<HWND, std::size(layout::radioItems)> items_{};
    bool sending_ = false;        // a send is running
    bool closeRequested_ = false; // the window was asked to close during it
};

// The main window, once the application has created it.
extern TForm1 *Form1;
