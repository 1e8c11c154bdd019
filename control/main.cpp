#include "control/driver.h"

int main(int argc, char** argv)
{
    run_process(argc, argv);
}
