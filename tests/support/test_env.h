// Every test process runs in a private temporary working directory, which is also
// its HOME, the console's working folder (KELVRA_WORKDIR) and the simulated
// terminal's state folder, so that tests never touch the
// operator's settings, receipts or batch.
#pragma once

#include <string>

const std::string& test_work_dir();
