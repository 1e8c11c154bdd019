// A table's rows as tests of their own, each named after its row's name,
// and printed by it.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <string_view>

inline std::string test_name(std::string_view text)
{
    std::string name;
    for (const char ch : text)
        name += std::isalnum(static_cast<unsigned char>(ch)) != 0 ? ch : '_';
    return name;
}
template <typename Row> std::string row_name(const testing::TestParamInfo<Row>& info)
{
    return test_name(info.param.name);
}

// In the including file's unnamed namespace, where its rows are, so that
// the printer finds it beside them.
namespace {
template <typename Row>
requires requires(const Row& row)
{
    row.name;
}
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}
} // namespace
