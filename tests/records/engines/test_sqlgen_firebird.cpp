/* Writes the FIREBIRD dialect's statements for the test schema to the file
 * that the Firebird check runs in an embedded Firebird 3 with isql-fb and
 * compares with the expected output (Debian has no Firebird ODBC driver). */
#include "support/records/sqlschema.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>

TEST(FirebirdScript, WritesTheGeneratedStatements)
{
    const char *dir = getenv("VQ_DB_DIR_WIN");
    ASSERT_NE(nullptr, dir) << "VQ_DB_DIR_WIN is not set: run through CTest";
    vqt::DefineTestSchema();
    std::vector<std::string> statements = vqt::FirebirdStatements();
    FreeAllTableDefns();
    ASSERT_EQ(13u, statements.size());
    for (const std::string &s : statements)
        EXPECT_EQ(std::string::npos, s.find("<null>")) << "a generator refused: " << s;
    std::string path = std::string(dir) + "/firebird-statements.sql";
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f) << path;
    for (const std::string &s : statements)
        fputs(s.c_str(), f);
    EXPECT_EQ(0, fclose(f));
}
