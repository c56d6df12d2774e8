/* The start-up's guard on database names: CreateDB writes the name into its
 * statement, so only plain identifiers may pass. */
#include "records/cparlo.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CParloNames, OnlyPlainDatabaseNamesReachTheStatement)
{
    const std::string longest(1023, 'a'), tooLong(1024, 'a');
    const struct { const char *name; bool plain; } cases[] = {
        {"vqcreated", true}, {"_db1", true}, {"DB_2024", true}, {longest.c_str(), true},
        {nullptr, false}, {"", false}, {"1db", false}, {"vq; drop database x", false},
        {"vq created", false}, {"vq-db", false}, {"\"vq\"", false}, {"vq`x", false},
        {"d\xc3\xa9j\xc3\xa0", false}, {tooLong.c_str(), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.plain, IsPlainDatabaseName(c.name) != FALSE) << (c.name ? c.name : "(null)");
}

} // namespace
