// An X server of a test's own (Xvfb, no window manager) on a free display,
// for Linux tests and the Wine driver that show windows.
#pragma once

#include <string>

#include <sys/types.h>

class Xvfb {
  public:
    // Starts Xvfb with one screen of `screen` ("WIDTHxHEIGHTxDEPTH") and
    // waits until it takes clients (at most 30 s); running() says whether it
    // did.
    explicit Xvfb(const std::string &screen = "1280x1024x24");
    // Ends the server.
    ~Xvfb();
    // Ends the server at once, as a display that goes away under its clients.
    void kill();
    Xvfb(const Xvfb &) = delete;
    Xvfb &operator=(const Xvfb &) = delete;

    bool running() const { return !display_.empty(); }
    // The display's name for DISPLAY, ":N"; empty when it did not start.
    const std::string &display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};
