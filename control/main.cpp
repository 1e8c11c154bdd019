#include <new>

#include "control/console.h"

// The whole run, from start-up to the closing line; every failure ends the
// process on the spot, so returning means the run is complete.
void run_quogtran(int argc, const char* const* argv);

int main(int argc, char** argv)
{
    try {
        run_quogtran(argc, argv);
    } catch (const std::bad_alloc&) {
        die("\nNot enough memory\n");
    }
    end_process(exit_ok);
}
