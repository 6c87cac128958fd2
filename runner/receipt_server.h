// The runner's own print server: a thread that takes the terminal's receipt lines on
// the till's print port while the scenarios play, one job per connection, answers
// each with "printed" and keeps the decoded lines for the step that runs. It
// listens on loopback only (the simulated terminal lives in the runner's process),
// and serves its connections at once, so a client that sends nothing holds up no
// receipt line.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ReceiptServer {
  public:
    ReceiptServer() = default;
    ~ReceiptServer();
    ReceiptServer(const ReceiptServer&) = delete;
    ReceiptServer& operator=(const ReceiptServer&) = delete;

    // Listens on 127.0.0.1:port and starts serving. False with *error set when the
    // port cannot be had (*in_use: another program, such as a running console,
    // holds it).
    bool start(int port, std::string* error, bool* in_use = nullptr);
    void stop();

    // Forgets the lines received so far (a step begins).
    void clear();
    // The lines received since the last clear, once no connection waits any more
    // (a line still on its way is not lost to the next step), and forgets them.
    std::vector<std::string> take();

  private:
    void serve();
    void settle();

    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool busy_ = false; // a connection is open, its job not yet taken
};
