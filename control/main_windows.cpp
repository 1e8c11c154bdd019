// The Windows entry point: the arguments come as the system keeps them, in
// UTF-16, and go on in UTF-8, as every name does inside the program.
#include <algorithm>
#include <string>
#include <vector>
#include <windows.h>

#include "control/driver.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    std::vector<const char*> pointers;
    for (int i = 0; i < argc; ++i) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string& argument = arguments.emplace_back(static_cast<std::size_t>(std::max(size, 1)), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, argument.data(), size, nullptr, nullptr);
        argument.pop_back(); // the terminating NUL
    }
    for (const std::string& argument : arguments)
        pointers.push_back(argument.c_str());
    run_process(argc, pointers.data());
}
