#include "startup.h"

int main(int argc, char** argv) {
    if (!ecr_start(&argc, &argv))
        return 0;
    ecr_run_main_loop();
    return 0;
}
