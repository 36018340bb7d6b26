#include "device.h"

#include "channel_codec.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace {

// One request line out, one reply line back: "ok [payload]" or "error why".
std::string ask(const std::string &request)
{
    static std::mutex lock;
    static FILE *requests = nullptr;
    static FILE *replies = nullptr;
    const std::lock_guard guard(lock);
    if (requests == nullptr) {
        const char *channel = std::getenv("COMTERM_DEVICE_CHANNEL");
        if (channel == nullptr)
            throw std::runtime_error("run this test through wine_driver");
        requests = std::fopen((std::string(channel) + "\\requests").c_str(), "wb");
        replies = std::fopen((std::string(channel) + "\\replies").c_str(), "rb");
        if (requests == nullptr || replies == nullptr)
            throw std::runtime_error("cannot open the device channel");
    }
    std::fputs((request + '\n').c_str(), requests);
    std::fflush(requests);
    std::string reply;
    for (int c; (c = std::fgetc(replies)) != EOF && c != '\n';)
        reply += static_cast<char>(c);
    if (reply.rfind("ok", 0) != 0)
        throw std::runtime_error("device driver: " + request.substr(0, 40) + ": " + reply);
    return reply.size() > 3 ? reply.substr(3) : std::string();
}

} // namespace

RemoteDevice::RemoteDevice()
{
    const std::string reply = ask("new");
    const auto space = reply.find(' ');
    id_ = reply.substr(0, space);
    path_ = reply.substr(space + 1);
}

RemoteDevice::~RemoteDevice()
{
    try {
        ask("free " + id_);
    } catch (const std::exception &) {
        // The driver is gone; it frees its devices itself.
    }
}

void RemoteDevice::write(std::string_view bytes)
{
    ask("write " + id_ + ' ' + toHex(bytes));
}

bool RemoteDevice::waitQueued(std::size_t count)
{
    return ask("wait " + id_ + ' ' + std::to_string(count)) == "1";
}

std::string RemoteDevice::read(std::size_t count, std::chrono::milliseconds timeout)
{
    return fromHex(
        ask("read " + id_ + ' ' + std::to_string(count) + ' ' + std::to_string(timeout.count())));
}

void RemoteDevice::unplug()
{
    ask("unplug " + id_);
}

std::string RemoteDevice::lineSettings() const
{
    return ask("settings " + id_);
}

int RemoteDevice::holders() const
{
    return std::stoi(ask("holders " + id_));
}

RemotePortMapping::RemotePortMapping(const char *name, const std::string &path)
    : name_(name), previous_(ask("map " + name_ + ' ' + path))
{
}

RemotePortMapping::~RemotePortMapping()
{
    try {
        ask(previous_.empty() ? "unmap " + name_ : "map " + name_ + ' ' + previous_);
    } catch (const std::exception &) {
    }
}

std::string notATerminal()
{
    return "/dev/null";
}

bool runningOnWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
