// Writes the measuring corpus into a directory: quogo.dic (100,000 entries),
// big1.txt (1 MiB) and big4.txt (4 MiB).
#include <cstdio>
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
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    constexpr int entries = 100000;
    const bool written = write_file(dir + "/quogo.dic", make_dictionary(entries)) &&
                         write_file(dir + "/big1.txt", make_story(1 << 20, entries, 1)) &&
                         write_file(dir + "/big4.txt", make_story(4 << 20, entries, 4));
    if (!written) {
        std::fprintf(stderr, "make_corpus: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
