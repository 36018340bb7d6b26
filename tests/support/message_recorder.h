// Stands in for the message box while the serial operations are tested:
// records what would be shown instead of showing it.
#pragma once

#include "port.h"

#include <ostream>
#include <string>
#include <utility>
#include <vector>

struct Message {
    std::string text;
    std::string caption;
    bool operator==(const Message &) const = default;
};

// For test failure messages.
std::ostream &operator<<(std::ostream &out, const Message &message);

// Records while it exists, then puts back the box that was installed before
// (the Qt front end's, in the window tests).
class MessageRecorder {
  public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    // What was shown since the last call, in order; clears the record.
    std::vector<Message> take();
    // The same with each text cut before its reason (the blank line and what
    // follows it), for tests of which box came rather than of why.
    std::vector<Message> takeFixed();

  private:
    serial::MessageBoxFunction previous_;
};
