#include <new>

#include "control/console.h"
#include "control/driver.h"
#include "control/failure.h"

int main(int argc, char** argv)
{
    try {
        run_quogtran(argc, argv);
    } catch (const std::bad_alloc&) {
        fail({"\nNot enough memory\n"});
    }
    end_process(exit_ok);
}
