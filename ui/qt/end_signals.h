// SIGTERM, SIGHUP and SIGINT brought into the event loop: the handler only
// writes a byte to a pipe, whose read end a socket notifier watches, so that
// the program ends from the loop like any other event, with its port closed.
// A signal that was ignored when the program started (nohup, a background
// job's SIGINT) stays ignored.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <iterator>
#include <memory>

class EndSignals : public QObject {
    Q_OBJECT
  public:
    // Installs the handlers; one object at a time. Needs the application
    // object (the notifier needs its event dispatcher).
    explicit EndSignals(QObject *owner = nullptr);
    // Puts the earlier actions back. Until then every one of the signals is
    // caught, however many come: destroy it only once the program has let go
    // of what a signal's default action would leave behind (its port).
    ~EndSignals() override;
    EndSignals(const EndSignals &) = delete;
    EndSignals &operator=(const EndSignals &) = delete;

  signals:
    // One of the signals arrived (several at once are reported once).
    void arrived();

  private:
    void drain();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    static constexpr int handled[] = {SIGTERM, SIGHUP, SIGINT};
    struct sigaction previous_[std::size(handled)] = {};
    bool installed_[std::size(handled)] = {};
};
