#include "message_recorder.h"

namespace {

std::vector<Message> shown;

int WINAPI record(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    shown.push_back({text, caption});
    return 1;
}

} // namespace

MessageRecorder::MessageRecorder()
{
    shown.clear();
    serial::setMessageBox(&record);
}

MessageRecorder::~MessageRecorder()
{
    serial::setMessageBox(nullptr);
}

std::vector<Message> MessageRecorder::take()
{
    return std::exchange(shown, {});
}

std::ostream &operator<<(std::ostream &out, const Message &message)
{
    return out << '[' << message.caption << ": " << message.text << ']';
}
