// The POSIX entry point: the arguments go on as they came.
#include "control/driver.h"

int main(int argc, char** argv)
{
    run_process(argc, argv);
}
