#include <gtest/gtest.h>
TEST(Windows, Placeholder) { }
