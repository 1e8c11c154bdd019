// Writes the measuring corpus into a directory: quogo.dic (100,000 entries),
// big1.txt (1 MiB) and big4.txt (4 MiB); and into its folder wide/ a 6 MB
// quogo.dic (260,000 entries) with snake.txt, 1,000 distinct words holding
// '_' (snake_case_N), and plain.txt, the same words without (snakecaseN).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "corpus.h"

namespace {
bool write_file(const std::string& name, const std::string& bytes)
{
    std::ofstream file(name, std::ios::binary | std::ios::trunc);
    file << bytes;
    return static_cast<bool>(file.flush());
}
bool make_folder(const std::string& name)
{
    std::error_code failed;
    std::filesystem::create_directories(name, failed);
    return !failed;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    constexpr int entries = 100000;
    std::string snake;
    std::string plain;
    for (int n = 0; n < 1000; ++n) {
        snake += "snake_case_" + std::to_string(n) + "\n";
        plain += "snakecase" + std::to_string(n) + "\n";
    }
    const bool written = write_file(dir + "/quogo.dic", make_dictionary(entries)) &&
        write_file(dir + "/big1.txt", make_story(1 << 20, entries, 1)) &&
        write_file(dir + "/big4.txt", make_story(4 << 20, entries, 4)) && make_folder(dir + "/wide") &&
        write_file(dir + "/wide/quogo.dic", make_dictionary(260000)) && write_file(dir + "/wide/snake.txt", snake) &&
        write_file(dir + "/wide/plain.txt", plain);
    if (!written) {
        std::fprintf(stderr, "make_corpus: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
