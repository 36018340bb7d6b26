#include "message_recorder.h"

namespace {

std::vector<Message> shown;

int WINAPI record(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    shown.push_back({text, caption});
    return 1;
}

} // namespace

MessageRecorder::MessageRecorder() : previous_(serial::setMessageBox(&record))
{
    shown.clear();
}

MessageRecorder::~MessageRecorder()
{
    serial::setMessageBox(previous_);
}

std::vector<Message> MessageRecorder::take()
{
    return std::exchange(shown, {});
}

std::vector<Message> MessageRecorder::takeFixed()
{
    std::vector<Message> fixed = take();
    for (Message &message : fixed)
        message.text = message.text.substr(0, message.text.find("\n\n"));
    return fixed;
}

std::ostream &operator<<(std::ostream &out, const Message &message)
{
    return out << '[' << message.caption << ": " << message.text << ']';
}
