// Writes the measuring corpora into a directory:
//   quogo.dic, big1.txt, big4.txt, big16.txt   the first corpus: 100,000
//       entries, stories of 1, 4 and 16 MiB;
//   prose/ (the same names)                     the prose corpus, likewise;
//   million/quogo.dic, million/big1.txt         1,000,000 prose entries and a
//       1 MiB story drawn from them;
//   wide/quogo.dic, wide/snake.txt, wide/plain.txt   20,000 prose entries and
//       2 MB of words shaped like bako_rifu_17 (60,000 distinct), and the same
//       words without '_'.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

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

bool write_stories(const std::string& dir, const ProseCorpus* prose, int entries)
{
    for (const unsigned mib : {1u, 4u, 16u}) {
        const std::size_t size = std::size_t{mib} << 20;
        const std::string story = prose ? make_prose_story(size, *prose, mib) : make_story(size, entries, mib);
        if (!write_file(dir + "/big" + std::to_string(mib) + ".txt", story))
            return false;
    }
    return true;
}

// 60,000 distinct words holding '_', drawn at random, eight a line; and the
// same words without '_'.
bool write_wide(const std::string& dir)
{
    const ProseCorpus corpus = make_prose_dictionary(20000, 5);
    std::mt19937 random(6);
    std::vector<std::string> pool;
    for (int n = 0; n < 60000; ++n)
        pool.push_back(corpus.english[random() % 300] + "_" + corpus.english[random() % corpus.english.size()] + "_" +
            std::to_string(n));
    std::string snake;
    std::string plain;
    for (int n = 0; snake.size() < 2000000; ++n) {
        const std::string& word = pool[random() % pool.size()];
        snake += word;
        for (const char ch : word)
            if (ch != '_')
                plain.push_back(ch);
        const char end = n % 8 == 7 ? '\n' : ' ';
        snake.push_back(end);
        plain.push_back(end);
    }
    return make_folder(dir) && write_file(dir + "/quogo.dic", corpus.dictionary) &&
        write_file(dir + "/snake.txt", snake) && write_file(dir + "/plain.txt", plain);
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
    const ProseCorpus prose = make_prose_dictionary(entries, 2);
    const ProseCorpus million = make_prose_dictionary(1000000, 3);
    const bool written = write_file(dir + "/quogo.dic", make_dictionary(entries)) &&
        write_stories(dir, nullptr, entries) && make_folder(dir + "/prose") &&
        write_file(dir + "/prose/quogo.dic", prose.dictionary) && write_stories(dir + "/prose", &prose, entries) &&
        make_folder(dir + "/million") && write_file(dir + "/million/quogo.dic", million.dictionary) &&
        write_file(dir + "/million/big1.txt", make_prose_story(1 << 20, million, 7)) && write_wide(dir + "/wide");
    if (!written) {
        std::fprintf(stderr, "make_corpus: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
