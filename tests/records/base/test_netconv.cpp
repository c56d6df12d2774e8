/* Network-management conversions: identifier and address texts with their
 * malformed forms, the date-and-time text, Counter64 from byte strings of
 * every length (read inside a page fenced by inaccessible pages) and the
 * hexadecimal round trips. */
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "records/base/netconv.h"

namespace {

std::string take(char *text)
{
    std::string s = text ? text : "<null>";
    free(text);
    return s;
}

TEST(Oid, RoundTripAndLimits)
{
    Oid oid = {NULL, 0};
    ASSERT_TRUE(CopyStringToOid(&oid, "1.3.6.1.4.1.4294967295"));
    EXPECT_EQ(7u, GetOidLength(&oid));
    EXPECT_EQ(4294967295u, oid.ids[6]);
    EXPECT_EQ("1.3.6.1.4.1.4294967295", take(ConvertToStringFromOID(&oid)));
    ClearOid(&oid);

    ASSERT_TRUE(ConvertToOidOrIpFromString(".1.3.6", &oid, FALSE));
    EXPECT_EQ("1.3.6", take(ConvertToStringFromOid(oid.ids, oid.length)));
    ClearOid(&oid);

    std::string longest = "1";
    for (int i = 1; i < OID_MAX_LENGTH; i++)
        longest += ".1";
    EXPECT_TRUE(IsValidOid(longest.c_str()));
    EXPECT_FALSE(IsValidOid((longest + ".1").c_str()));
}

TEST(Oid, MalformedTextsLeaveTheRecordAlone)
{
    DWORD keep[2] = {9, 9};
    Oid oid = {keep, 2};
    for (const char *bad : {"", ".", "1..3", "1.3.", "1.a", "a", "4294967296", "1. 3",
                            "-1.2", "1.3.6 "}) {
        EXPECT_FALSE(ConvertToOidOrIpFromString(bad, &oid, FALSE)) << bad;
        EXPECT_EQ(keep, oid.ids);
        EXPECT_EQ(2u, oid.length);
        EXPECT_FALSE(IsValidOid(bad)) << bad;
    }
    EXPECT_EQ(nullptr, CopyStringToOID("1..2"));
}

TEST(Oid, IpAddresses)
{
    EXPECT_TRUE(IsValidIPAddress("192.168.0.1"));
    EXPECT_TRUE(IsValidIPAddress("0.0.0.0"));
    EXPECT_TRUE(IsValidIPAddress("255.255.255.255"));
    for (const char *bad : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "01.2.3.4", ".1.2.3.4",
                            "1.2.3.4.", "1.2.3.-4", "", "a.b.c.d", "1.2.3.0004"})
        EXPECT_FALSE(IsValidIPAddress(bad)) << bad;
    Oid ip = {NULL, 0};
    ASSERT_TRUE(ConvertToOidOrIpFromString("10.0.0.254", &ip, TRUE));
    EXPECT_EQ("10.0.0.254", take(ConvertToIpAddressFromOid(&ip)));
    ClearOid(&ip);
    Oid five = {NULL, 0};
    ASSERT_TRUE(CopyStringToOid(&five, "1.2.3.4.5"));
    EXPECT_EQ(nullptr, ConvertToIpAddressFromOid(&five));
    ClearOid(&five);
}

TEST(Oid, CompareCopyAndSet)
{
    Oid *a = CopyStringToOID("1.3.6.1");
    Oid *b = CopyStringToOID("1.3.6.1.2");
    Oid *c = CopyStringToOID("1.3.7");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(-1, CompareOid(a, b)) << "a prefix sorts first";
    EXPECT_EQ(1, CompareOid(b, a));
    EXPECT_EQ(-1, CompareOid(b, c));
    EXPECT_EQ(0, CompareOid(a, a));

    Oid copy = {NULL, 0};
    ASSERT_TRUE(CopyOid(&copy, b));
    copy.ids[0] = 2;
    EXPECT_EQ(1u, b->ids[0]) << "a copy has its own array";
    ASSERT_TRUE(ReallocateAndSetOID(&copy, c));
    EXPECT_EQ(0, CompareOid(&copy, c));
    ASSERT_TRUE(SetNOid(&copy, b->ids, 2));
    EXPECT_EQ("1.3", take(ConvertToStringFromOID(&copy)));
    ClearOid(&copy);
    FreeOid(a);
    FreeOid(b);
    FreeOid(c);
}

TEST(Oid, CharArrayFromSubIdentifiers)
{
    Oid *o = CopyStringToOID("104.105.255");
    ASSERT_NE(nullptr, o);
    int len = 0;
    char *chars = ConvertToCharArray(o, &len);
    ASSERT_NE(nullptr, chars);
    EXPECT_EQ(3, len);
    EXPECT_EQ(std::string("hi\xff"), std::string(chars, 3));
    free(chars);
    FreeOid(o);
    o = CopyStringToOID("104.256");
    EXPECT_EQ(nullptr, ConvertToCharArray(o, &len));
    FreeOid(o);
}

TEST(NetDateTime, LongFormRoundTripAndShortForm)
{
    NetDateTime dt;
    ASSERT_TRUE(ConvertToDateTimeFromString("2023-7-14,9:5:3.4,-5:30", &dt));
    EXPECT_EQ(2023, dt.year);
    EXPECT_EQ(7, dt.month);
    EXPECT_EQ(4, dt.deciSecond);
    EXPECT_EQ('-', dt.direction);
    EXPECT_EQ(5, dt.zoneHours);
    EXPECT_EQ(30, dt.zoneMinutes);
    EXPECT_EQ("2023-7-14,9:5:3.4,-5:30", take(ConvertToStringFromDateTime(&dt)));
    dt.hasZone = FALSE;
    EXPECT_EQ("2023-7-14,9:5:3.4", take(ConvertToStringFromDateTime(&dt)));
}

TEST(NetDateTime, BadTextsAreRefused)
{
    NetDateTime dt;
    for (const char *bad : {"2023-7-14,9:5:3.4", "2023-13-14,9:5:3.4,+0:0",
                            "2023-7-14,24:5:3.4,+0:0", "2023-7-14,9:5:3.10,+0:0",
                            "2023-7-14,9:5:3.4,*1:0", "2023-7-14,9:5:3.4,+14:0",
                            "2023-7-14,9:5:3.4,+1:0x", "", "garbage"})
        EXPECT_FALSE(ConvertToDateTimeFromString(bad, &dt)) << bad;
}

/* Three pages, the outer two inaccessible: bytes placed at the very end or
 * the very start of the middle page fault on any read outside them. */
struct FencedBytes {
    BYTE *base = NULL;
    SYSTEM_INFO si;
    FencedBytes()
    {
        GetSystemInfo(&si);
        base = (BYTE *)VirtualAlloc(NULL, 3 * si.dwPageSize, MEM_COMMIT | MEM_RESERVE,
                                    PAGE_NOACCESS);
        DWORD old;
        if (base)
            VirtualProtect(base + si.dwPageSize, si.dwPageSize, PAGE_READWRITE, &old);
    }
    ~FencedBytes() { if (base) VirtualFree(base, 0, MEM_RELEASE); }
    BYTE *atEnd(const BYTE *src, int n)
    {
        BYTE *p = base + 2 * si.dwPageSize - n;
        memcpy(p, src, (size_t)n);
        return p;
    }
    BYTE *atStart(const BYTE *src, int n)
    {
        BYTE *p = base + si.dwPageSize;
        memcpy(p, src, (size_t)n);
        return p;
    }
};

TEST(Counter64, NineBytesDropTheLeadingOne)
{
    const BYTE nine[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    Counter64 c;
    ASSERT_TRUE(ConvertToCounter64(nine, 9, &c));
    EXPECT_EQ(0x01020304u, c.high);
    EXPECT_EQ(0x05060708u, c.low);
    EXPECT_EQ(0x0102030405060708ull, ConvertToULongLongFromCounter64(&c));
}

TEST(Counter64, EveryLengthReadsOnlyItsBytes)
{
    FencedBytes fence;
    ASSERT_NE(nullptr, fence.base);
    const BYTE src[9] = {0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8, 0x09};
    for (int len = 1; len <= 9; len++) {
        /* Reference: the big-endian value of the bytes, sign octet dropped. */
        ULONGLONG want = 0;
        for (int i = (len == 9 ? 1 : 0); i < len; i++)
            want = (want << 8) | src[i];
        Counter64 end = {1, 1}, start = {1, 1};
        ASSERT_TRUE(ConvertToCounter64(fence.atEnd(src, len), len, &end)) << len;
        ASSERT_TRUE(ConvertToCounter64(fence.atStart(src, len), len, &start)) << len;
        EXPECT_EQ(want, ConvertToULongLongFromCounter64(&end)) << len;
        EXPECT_EQ(want, ConvertToULongLongFromCounter64(&start)) << len;
    }
    Counter64 c = {7, 7};
    EXPECT_FALSE(ConvertToCounter64(fence.atEnd(src, 1), 0, &c));
    EXPECT_FALSE(ConvertToCounter64(src, 10, &c));
    EXPECT_FALSE(ConvertToCounter64(src, -1, &c));
    EXPECT_FALSE(ConvertToCounter64(NULL, 4, &c));
    EXPECT_EQ(7u, c.high);
    EXPECT_EQ(7u, c.low);
}

TEST(Counter64, SplitJoinAndText)
{
    for (ULONGLONG v : {0ull, 1ull, 0xFFFFFFFFull, 0x100000000ull, 0x8000000000000000ull,
                        0xFFFFFFFFFFFFFFFFull}) {
        Counter64 c;
        ConvertToCounter64FromULongLong(v, &c);
        EXPECT_EQ((DWORD)(v >> 32), c.high);
        EXPECT_EQ(v, ConvertToULongLongFromCounter64(&c));
    }
    Counter64 c = {0x00000002u, 0x540BE400u};
    EXPECT_EQ("10000000000", take(ConvertToStringFromCounter64(&c)));
}

TEST(Hex, RoundTripOfEveryByte)
{
    BYTE all[256];
    for (int i = 0; i < 256; i++)
        all[i] = (BYTE)i;
    char *hex = ConvertToHexValue(all, 256);
    ASSERT_NE(nullptr, hex);
    EXPECT_EQ(512u, strlen(hex));
    EXPECT_EQ(0, strncmp(hex, "000102", 6));
    EXPECT_STREQ("FF", hex + 510);
    int len = 0;
    char *back = ConvertToStringFromHex(hex, &len);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(256, len);
    EXPECT_EQ(0, memcmp(all, back, 256));
    free(back);
    free(hex);
    back = ConvertToStringFromHex("6a6B", &len);
    EXPECT_STREQ("jk", back);
    free(back);
    EXPECT_EQ(nullptr, ConvertToStringFromHex("ABC", &len));
    EXPECT_EQ(nullptr, ConvertToStringFromHex("GG", &len));
    EXPECT_EQ(0, len);
}

TEST(Hex, NumbersFromHexText)
{
    EXPECT_EQ(31, ConvertToDecimalFromHexa("0x1F"));
    EXPECT_EQ(31, ConvertToDecimalFromHexa("1f"));
    EXPECT_EQ(0x7FFFFFFFFFFFFFFFll, ConvertToDecimalFromHexa("7FFFFFFFFFFFFFFF"));
    for (const char *bad : {"8000000000000000", "10000000000000000", "", "0x", "1g", "-1", " 1"})
        EXPECT_EQ(-1, ConvertToDecimalFromHexa(bad)) << bad;
    EXPECT_EQ(10, GetHexValue('a'));
    EXPECT_EQ(15, GetHexValue('F'));
    EXPECT_EQ(-1, GetHexValue('g'));
}

TEST(Hex, SmallTexts)
{
    EXPECT_EQ("TRUE", take(ToString(TRUE)));
    EXPECT_EQ("FALSE", take(ToString(FALSE)));
    EXPECT_EQ("-2147483648", take(ConvertToStringFromInteger((int)0x80000000)));
    EXPECT_EQ("4294967295", take(ConvertToStringFromUnsignedInteger(0xFFFFFFFFu)));
}

} // namespace
