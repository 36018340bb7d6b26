// A ports file of the test's own: a fresh folder that XDG_CONFIG_HOME points
// at while it lives, holding comterm/ports.conf with the given text.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

class PortsFileFixture {
  public:
    explicit PortsFileFixture(std::string_view text)
    {
        char dir[] = "/tmp/comterm-config-XXXXXX";
        if (::mkdtemp(dir) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        home_ = dir;
        std::filesystem::create_directory(home_ / "comterm");
        std::ofstream(path(), std::ios::binary) << text;
        if (const char *previous = std::getenv("XDG_CONFIG_HOME"))
            previous_ = previous;
        ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
    }
    ~PortsFileFixture()
    {
        if (previous_.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }
    PortsFileFixture(const PortsFileFixture &) = delete;
    PortsFileFixture &operator=(const PortsFileFixture &) = delete;

    // The folder to give a child process as XDG_CONFIG_HOME.
    std::string home() const { return home_.string(); }
    std::string path() const { return (home_ / "comterm" / "ports.conf").string(); }

  private:
    std::filesystem::path home_;
    std::string previous_;
};
