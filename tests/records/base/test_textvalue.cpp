/* Text-to-value conversion of dates and times: a DATE holds only its date
 * and a TIME only its time, so that the literal written for it later is one
 * the engine takes for the column's type. */
#include "records/base/textvalue.h"
#include "records/base/coltypes.h"
#include "records/base/datetime.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

TEST(TextValue, DateAndTimeHoldOnlyTheirPart)
{
    const struct {
        const char *text;
        BYTE type;
        bool converts, hasDate, hasTime;
        int y, mo, d, h, mi, s;
    } cases[] = {
        {"23:59:58", BRN_SQL_TIME, true, false, true, 0, 0, 0, 23, 59, 58},
        {"2024-02-29", BRN_SQL_DATE, true, true, false, 2024, 2, 29, 0, 0, 0},
        {"2024-02-29 10:11:12", BRN_SQL_DATE, true, true, false, 2024, 2, 29, 0, 0, 0},
        {"2024-02-29 10:11:12", BRN_SQL_TIME, true, false, true, 0, 0, 0, 10, 11, 12},
        {"2024-02-29 10:11:12", BRN_SQL_DATETIME, true, true, true, 2024, 2, 29, 10, 11, 12},
        {"2024-02-29", BRN_SQL_DATETIME, true, true, true, 2024, 2, 29, 0, 0, 0},
        {"23:59:58", BRN_SQL_DATETIME, true, true, true, 0, 0, 0, 23, 59, 58},
        {"10:11:12", BRN_SQL_DATE, false, false, false, 0, 0, 0, 0, 0, 0},
        {"2024-02-29", BRN_SQL_TIME, false, false, false, 0, 0, 0, 0, 0, 0},
        {"yesterday", BRN_SQL_DATE, false, false, false, 0, 0, 0, 0, 0, 0},
        {"", BRN_SQL_TIME, false, false, false, 0, 0, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " as " + std::to_string(c.type));
        INT32 size = -5;
        BYTE *v = ConvertTextToValue(c.text, &size, c.type);
        if (!c.converts) {
            EXPECT_EQ(nullptr, v);
            continue;
        }
        ASSERT_NE(nullptr, v);
        ASSERT_EQ(BRN_DATETIME_SIZE, size);
        BrnDateTime *dt = (BrnDateTime *)v;
        EXPECT_EQ(c.hasDate, dt->date != nullptr);
        EXPECT_EQ(c.hasTime, dt->time != nullptr);
        if (dt->date) {
            EXPECT_EQ(c.y, dt->date->year);
            EXPECT_EQ(c.mo, dt->date->month);
            EXPECT_EQ(c.d, dt->date->day);
        }
        if (dt->time) {
            EXPECT_EQ(c.h, dt->time->hour);
            EXPECT_EQ(c.mi, dt->time->minute);
            EXPECT_EQ(c.s, dt->time->second);
        }
        free(dt->date);
        free(dt->time);
        free(v);
    }
}

} // namespace
