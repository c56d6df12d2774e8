/* The address lists built from adapter records made here, and those of
 * this computer. */
#include "agent/netinfo.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <string.h>
#include <regex>
#include <vector>

namespace {

size_t countItems(const char *list)
{
    if (!*list)
        return 0;
    size_t n = 1;
    for (const char *p = list; *p; p++)
        n += *p == ',';
    return n;
}

/* A chain of adapter records with the given MAC bytes and addresses. */
struct Adapters {
    std::vector<IP_ADAPTER_INFO> infos;
    std::vector<std::vector<IP_ADDR_STRING>> extra;

    void add(std::vector<BYTE> mac, std::vector<std::pair<const char *, const char *>> ips)
    {
        IP_ADAPTER_INFO a;
        memset(&a, 0, sizeof(a));
        a.Index = (DWORD)infos.size() + 1;
        a.AddressLength = (UINT)mac.size();
        memcpy(a.Address, mac.data(), mac.size());
        strcpy(a.IpAddressList.IpAddress.String, ips[0].first);
        strcpy(a.IpAddressList.IpMask.String, ips[0].second);
        infos.push_back(a);
        std::vector<IP_ADDR_STRING> more;
        for (size_t i = 1; i < ips.size(); i++) {
            IP_ADDR_STRING s;
            memset(&s, 0, sizeof(s));
            strcpy(s.IpAddress.String, ips[i].first);
            strcpy(s.IpMask.String, ips[i].second);
            more.push_back(s);
        }
        extra.push_back(more);
    }
    /* Links the records (after all adds, since vectors move). */
    const IP_ADAPTER_INFO *chain()
    {
        for (size_t i = 0; i < infos.size(); i++) {
            infos[i].Next = i + 1 < infos.size() ? &infos[i + 1] : NULL;
            IP_ADDR_STRING *prev = &infos[i].IpAddressList;
            for (IP_ADDR_STRING &s : extra[i]) {
                prev->Next = &s;
                prev = &s;
            }
            prev->Next = NULL;
        }
        return infos.empty() ? NULL : &infos[0];
    }
};

struct Lists {
    std::vector<char> ip, mac, mask;
    explicit Lists(size_t capacity) : ip(capacity + 8, 'Z'), mac(capacity + 8, 'Z'), mask(capacity + 8, 'Z')
    {
        ip[0] = mac[0] = mask[0] = '\0';
    }
    BOOL build(const IP_ADAPTER_INFO *a, size_t capacity)
    {
        return BuildAddressLists(a, ip.data(), mac.data(), mask.data(), capacity);
    }
    /* The bytes past the capacity are untouched. */
    bool guardsIntact(size_t capacity) const
    {
        for (size_t i = capacity; i < capacity + 8; i++)
            if (ip[i] != 'Z' || mac[i] != 'Z' || mask[i] != 'Z')
                return false;
        return true;
    }
};

} // namespace

TEST(NetInfo, MacTextIsLowerCaseHexPairs)
{
    char out[32];
    const BYTE mac[] = {0x00, 0x1A, 0x2b, 0xC3, 0xff, 0x09};
    FormatMACAddress(mac, 6, out);
    EXPECT_STREQ(out, "00:1a:2b:c3:ff:09");
    FormatMACAddress(mac, 0, out);
    EXPECT_STREQ(out, "");
}

TEST(NetInfo, ListsStayParallelAndSkipUnusableAddresses)
{
    Adapters a;
    a.add({0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {{"192.0.2.10", "255.255.255.0"}, {"198.51.100.7", "255.255.0.0"}});
    a.add({0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb}, {{"0.0.0.0", "0.0.0.0"}});
    /* An 8-byte hardware address is not a MAC text of 17 characters. */
    a.add({1, 2, 3, 4, 5, 6, 7, 8}, {{"203.0.113.5", "255.255.255.128"}});
    Lists l(VQ_ADDRESS_LIST_SIZE);
    EXPECT_TRUE(l.build(a.chain(), VQ_ADDRESS_LIST_SIZE));
    EXPECT_STREQ(l.ip.data(), "192.0.2.10,198.51.100.7,203.0.113.5");
    EXPECT_STREQ(l.mac.data(), "00:11:22:33:44:55,00:11:22:33:44:55");
    EXPECT_STREQ(l.mask.data(), "255.255.255.0,255.255.0.0,255.255.255.128");
}

TEST(NetInfo, OnlyUnsetAddressesGiveEmptyListsAndDashes)
{
    Adapters a;
    a.add({0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {{"0.0.0.0", "0.0.0.0"}});
    Lists l(VQ_ADDRESS_LIST_SIZE);
    EXPECT_TRUE(l.build(a.chain(), VQ_ADDRESS_LIST_SIZE));
    EXPECT_STREQ(l.ip.data(), "");
    EXPECT_STREQ(l.mac.data(), "--");
    EXPECT_STREQ(l.mask.data(), "");
}

TEST(NetInfo, ListsNeverGrowPastTheirBuffers)
{
    /* 12000 addresses of 15 characters need about 190000 bytes per list. */
    Adapters a;
    std::vector<std::string> ips;
    std::vector<std::pair<const char *, const char *>> pairs;
    for (int i = 0; i < 12000; i++)
        ips.push_back("10." + std::to_string(100 + i / 200 % 100) + "." + std::to_string(100 + i % 100) +
                      "." + std::to_string(100 + i / 100 % 2));
    for (const std::string &s : ips)
        pairs.push_back({s.c_str(), "255.255.255.255"});
    a.add({0xde, 0xad, 0xbe, 0xef, 0x00, 0x01}, pairs);
    Lists l(VQ_ADDRESS_LIST_SIZE);
    vqt::ScratchLog log(VQ_LOG_LEVEL_ERROR);
    EXPECT_FALSE(l.build(a.chain(), VQ_ADDRESS_LIST_SIZE));
    EXPECT_TRUE(l.guardsIntact(VQ_ADDRESS_LIST_SIZE));
    EXPECT_LT(strlen(l.ip.data()), (size_t)VQ_ADDRESS_LIST_SIZE);
    EXPECT_LT(strlen(l.mask.data()), (size_t)VQ_ADDRESS_LIST_SIZE);
    size_t n = countItems(l.ip.data());
    EXPECT_GT(n, 100u);
    EXPECT_EQ(countItems(l.mac.data()), n);
    EXPECT_EQ(countItems(l.mask.data()), n);
    EXPECT_TRUE(log.has("[ERROR] GetMACandIPAddress : address lists are full"));

    /* A small buffer holds whole entries only. */
    Lists small(40);
    EXPECT_FALSE(small.build(a.chain(), 40));
    EXPECT_TRUE(small.guardsIntact(40));
    EXPECT_EQ(countItems(small.mac.data()), countItems(small.ip.data()));
    EXPECT_EQ(countItems(small.mac.data()), 2u);   /* 17 + 1 + 17 bytes */
}

TEST(NetInfo, AdaptersOfThisComputer)
{
    char *ip = NULL, *mac = NULL, *mask = NULL;
    vqt::ScratchLog log(VQ_LOG_LEVEL_DEBUG);
    DWORD rc = GetMACandIPAddress(&ip, &mac, &mask);
    ASSERT_NE(ip, nullptr);
    ASSERT_NE(mac, nullptr);
    ASSERT_NE(mask, nullptr);
    if (rc == 0) {
        EXPECT_EQ(countItems(ip), countItems(mask));
        EXPECT_TRUE(strcmp(mac, "--") == 0 ||
                    std::regex_match(mac, std::regex(R"(([0-9a-f]{2}(:[0-9a-f]{2}){5})(,[0-9a-f]{2}(:[0-9a-f]{2}){5})*)")))
            << mac;
        EXPECT_TRUE(log.has("[DEBUG] GetMACandIPAddress : Local Machine IP ADDRESS  : " + std::string(ip) + " \n"));
    } else {
        EXPECT_TRUE(log.has("[ERROR] GetMACandIPAddress : GetAdaptersInfo")) << rc;
    }
    free(ip);
    free(mac);
    free(mask);
}
