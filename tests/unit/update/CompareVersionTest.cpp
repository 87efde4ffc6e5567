#include "update/VersionCheck.h"

#include <gtest/gtest.h>

namespace {

TEST(CompareVersion, ComparesPiecesAsTextAsFarAsBothGo)
{
    struct Row
    {
        const char* first;
        const char* second;
        int expected;
    };
    const Row rows[] = {
        {"1.0.0.0", "1.0.0.1", -1},
        {"1.0.0.1", "1.0.0.0", 1},
        {"1.0.0.0", "1.0.0.0", 0},
        {"1.0.0.0", "0.9.9.9", 1},
        {"1.10.0.0", "1.9.0.0", -1},
        {"1.0", "1.0.5", 0},
        {"1.0.5", "1.0", 0},
        {"", "1.0", 2},
        {"1.0", "", 2},
        {"", "", 2},
        {"1..2", "1..3", -1},
        {"1.", "1.0", -1},
        {"1.0", "1.00", -1},
        {"a", "B", 1},
        {"1.\xC3\xA9", "1.z", 1},
        {"2", "10", 1},
        {"1.0.0.0", "1.0.0.0 ", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.first) + " vs " + row.second);
        EXPECT_EQ(CompareVersion(row.first, row.second), row.expected);
    }
}

} // namespace
