/* IP, MAC and subnet-mask lists of the computer's adapters through the IP
 * helper's GetAdaptersInfo. A MAC address is listed once per usable IP
 * address of its adapter, so the three lists stay parallel. */
#include "agent/netinfo.h"
#include "agent/log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

void FormatMACAddress(const BYTE *address, UINT length, char *out)
{
    static const char hex[] = "0123456789abcdef";
    char *p = out;
    for (UINT i = 0; i < length; i++) {
        if (i)
            *p++ = ':';
        *p++ = hex[address[i] >> 4];
        *p++ = hex[address[i] & 0x0f];
    }
    *p = '\0';
}

/* Bytes an append of `text` adds, with the separator the list takes. */
static size_t appendCost(const char *list, size_t minLenForComma, const char *text)
{
    return (strlen(list) >= minLenForComma ? 1 : 0) + strlen(text);
}

static void appendItem(char *list, size_t minLenForComma, const char *text)
{
    if (strlen(list) >= minLenForComma)
        strcat(list, ",");
    strcat(list, text);
}

BOOL BuildAddressLists(const IP_ADAPTER_INFO *adapters, char *ipList, char *macList,
                       char *maskList, size_t capacity)
{
    BOOL complete = TRUE;
    /* The IP and mask lists take a comma once they hold more than two
     * characters, the MAC list once it holds two or more. */
    const size_t ipComma = 3, macComma = 2, maskComma = 3;
    for (const IP_ADAPTER_INFO *a = adapters; a && complete; a = a->Next) {
        char mac[3 * MAX_ADAPTER_ADDRESS_LENGTH + 1];
        UINT macLength = a->AddressLength <= MAX_ADAPTER_ADDRESS_LENGTH
                             ? a->AddressLength : MAX_ADAPTER_ADDRESS_LENGTH;
        FormatMACAddress(a->Address, macLength, mac);
        BOOL macUsable = strlen(mac) == 17;
        for (const IP_ADDR_STRING *ip = &a->IpAddressList; ip; ip = ip->Next) {
            printf("%-10.d%-10.d%-20.20s%s\n", (int)a->Index, (int)ip->Context,
                   ip->IpAddress.String, ip->IpMask.String);
            LogInfo("ipAddress :%-10.d%-10.d%-20.20s%s\n", (int)a->Index, (int)ip->Context,
                    ip->IpAddress.String, ip->IpMask.String);
            if (!strcmp(ip->IpAddress.String, "0.0.0.0"))
                continue;
            if (strlen(ipList) + appendCost(ipList, ipComma, ip->IpAddress.String) >= capacity ||
                (macUsable && strlen(macList) + appendCost(macList, macComma, mac) >= capacity) ||
                strlen(maskList) + appendCost(maskList, maskComma, ip->IpMask.String) >= capacity) {
                LogError("GetMACandIPAddress : address lists are full, %s and later addresses are left out\n",
                         ip->IpAddress.String);
                complete = FALSE;
                break;
            }
            appendItem(ipList, ipComma, ip->IpAddress.String);
            if (macUsable)
                appendItem(macList, macComma, mac);
            appendItem(maskList, maskComma, ip->IpMask.String);
        }
    }
    if (!*macList && capacity >= 3)
        strcpy(macList, "--");
    return complete;
}

DWORD GetMACandIPAddress(char **ipList, char **macList, char **maskList)
{
    *ipList = (char *)calloc(VQ_ADDRESS_LIST_SIZE, 1);
    *macList = (char *)calloc(VQ_ADDRESS_LIST_SIZE, 1);
    *maskList = (char *)calloc(VQ_ADDRESS_LIST_SIZE, 1);
    if (!*ipList || !*macList || !*maskList) {
        LogError("GetMACandIPAddress : Memory allocation error\n");
        return ERROR_NOT_ENOUGH_MEMORY;
    }

    ULONG size = 0;
    DWORD rc = GetAdaptersInfo(NULL, &size);
    if (rc != ERROR_SUCCESS && rc != ERROR_BUFFER_OVERFLOW) {
        LogError("GetMACandIPAddress : GetAdaptersInfo sizing failed with error %d\n", (int)rc);
        return rc;
    }
    IP_ADAPTER_INFO *adapters = (IP_ADAPTER_INFO *)malloc(size ? size : sizeof(IP_ADAPTER_INFO));
    if (!adapters) {
        LogError("GetMACandIPAddress : Memory allocation error\n");
        rc = GetLastError();
        return rc ? rc : ERROR_NOT_ENOUGH_MEMORY;
    }
    rc = GetAdaptersInfo(adapters, &size);
    if (rc != ERROR_SUCCESS) {
        LogError("GetMACandIPAddress : GetAdaptersInfo failed with error %d\n", (int)rc);
        free(adapters);
        return rc;
    }
    BuildAddressLists(adapters, *ipList, *macList, *maskList, VQ_ADDRESS_LIST_SIZE);
    free(adapters);

    LogDebug("GetMACandIPAddress : Local Machine MAC ADDRESS : %s \n", *macList);
    LogDebug("GetMACandIPAddress : Local Machine IP ADDRESS  : %s \n", *ipList);
    LogDebug("GetMACandIPAddress : Local Machine Subnet Mask : %s \n", *maskList);
    return 0;
}
