// A table's rows as tests of their own, each named after its row's name.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

template <typename Row> std::string row_name(const testing::TestParamInfo<Row>& info)
{
    std::string name;
    for (const char ch : info.param.name)
        name += std::isalnum(static_cast<unsigned char>(ch)) != 0 ? ch : '_';
    return name;
}
