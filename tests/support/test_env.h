// Every test process runs in a private temporary working directory, which is also
// its HOME, the console's working folder (KELVRA_WORKDIR) and the simulated
// terminal's state folder, so that tests never touch the
// operator's settings, receipts or batch.
#pragma once

#include <string>

const std::string& test_work_dir();

// Makes a file or folder unwritable for this test, also when the tests run as root
// (CI does), whom permissions do not stop: then the calling thread gets a private
// mount namespace once, and the path a read-only bind mount. Undone at the end of
// the scope. When that cannot be done, unavailable() says why (the test skips).
class ReadOnly {
  public:
    explicit ReadOnly(std::string path);
    ~ReadOnly();
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;
    const std::string& unavailable() const { return unavailable_; }

  private:
    std::string path_;
    std::string unavailable_;
    bool mounted_ = false;
};
