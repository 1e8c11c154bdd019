#include "control/console.h"
#include "control/usage.h"

int main(int argc, char** argv)
{
    end_process(run_quogtran(argc, argv));
}
