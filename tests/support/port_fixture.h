// The fixture of the serial operations' tests: two devices on the other end
// of the line, COM1 and COM2 mapped to them, and the boxes recorded.
#pragma once

#include "device.h"
#include "message_recorder.h"
#include "port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline const std::vector<Message> none;
inline const Message commError{"開啟通訊阜錯誤!!", "Comm Error"};
inline const Message setError{"開啟通訊阜設定錯誤!!", "Set Error"};

// The box of a receive from a device that is gone, with the system's words.
inline Message receiveError(const std::string &failure)
{
    return {"接收資料錯誤!!\n\nthe device is gone: " + failure, "Receive Error"};
}

// Whether `text` is the system's words for a read or a write on a device
// that is gone: a terminal whose other end has closed, here.
inline bool isLostDeviceText(const std::string &text)
{
#ifdef _WIN32
    // Wine's; Windows' own depend on the port's driver, but are words.
    return runningOnWine() ? text == "Not ready" : !text.empty() && !text.starts_with("error ");
#else
    // The first failed call's, then what every later call on the port says.
    return text == "Input/output error" || text == "Device not connected";
#endif
}

class Port : public ::testing::Test {
  protected:
    Device com1, com2;
    PortMapping map1{"COM1", com1.path()};
    PortMapping map2{"COM2", com2.path()};
    MessageRecorder messages;

    ~Port() override { serial::closePort(); }

    // Opens COM1 and checks that it opened quietly.
    void open()
    {
        serial::openPort(0);
        ASSERT_TRUE(serial::isOpen());
        ASSERT_EQ(messages.take(), none);
    }

    // Proves that nothing but `marker` reached the device: anything sent
    // earlier would arrive first.
    void expectOnly(Device &device, const std::string &marker)
    {
        serial::sendText(marker);
        EXPECT_EQ(device.read(marker.size()), marker);
    }
};
