// Which terminal operations are running now, for the indicator beside the result
// line. A worker opens one scope around the library call of its operation; the
// scope makes no library call of its own.
#pragma once

#include <string>
#include <vector>

class OperationActivity {
  public:
    // Any thread; `name` is the operation as the operator knows it ("Sale", "Settlement").
    explicit OperationActivity(std::string name);
    ~OperationActivity();
    OperationActivity(const OperationActivity&) = delete;
    OperationActivity& operator=(const OperationActivity&) = delete;

  private:
    unsigned long id_;
};

// The names of the operations running now, oldest first.
std::vector<std::string> running_operations();

// Called on the main loop, without the toolkit lock, after the list has changed
// (several changes may be folded into one call). Set once by the window.
void set_activity_listener(void (*listener)());
