// The Windows entry point: the arguments come as the system keeps them, in
// UTF-16, and go on in UTF-8, as every name does inside the program.
#include <filesystem>
#include <string>
#include <vector>

#include "control/driver.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments(static_cast<std::size_t>(argc)); // never moved: pointers follow
    std::vector<const char*> pointers;
    for (int i = 0; i < argc; ++i) {
        const std::u8string utf8 = std::filesystem::path(argv[i]).u8string();
        pointers.push_back(arguments[static_cast<std::size_t>(i)].assign(utf8.begin(), utf8.end()).c_str());
    }
    run_process(argc, pointers.data());
}
