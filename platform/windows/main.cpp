// The Windows entry point: the arguments come as the system keeps them, in
// UTF-16, and go on in UTF-8, as every name does inside the program (one
// holding a lone surrogate in bytes that are refused when it is opened).
#include <string>
#include <vector>

#include "control/driver.h"
#include "platform/windows/system.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments(static_cast<std::size_t>(argc)); // never moved: pointers follow
    std::vector<const char*> pointers;
    for (int i = 0; i < argc; ++i)
        pointers.push_back((arguments[static_cast<std::size_t>(i)] = to_utf8(argv[i])).c_str());
    run_process(argc, pointers.data());
}
