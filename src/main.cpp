#include "startup.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (!ecr_start(&argc, &argv))
        return 0;
    ecr_run_main_loop(); // ends with the journal written and its writer stopped
    // Workers are detached and never joined: one may still wait inside the terminal
    // library when the window closes. Returning from main would destroy the static
    // objects (operation tables, journal, settings) under it as it wakes up, so the
    // process ends here, after stdio is flushed, without running destructors.
    std::fflush(nullptr);
    _exit(0);
}
