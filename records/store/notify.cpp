/* The listener list and the delivery of row-change notifications. */
#include "records/store/notify.h"
#include "records/base/coltypes.h"
#include "records/base/strutil.h"

#include "agent/log.h"

#include <stdlib.h>

typedef struct ListenerNode {
    NotificationListener *listener;
    struct ListenerNode *next;
} ListenerNode;

static ListenerNode *s_first;
static ListenerNode *s_last;

static int compareNames(const void *a, const void *b)
{
    return CompareStringIgnoreCase(*(char *const *)a, *(char *const *)b);
}

static size_t countNames(char **names)
{
    size_t n = 0;
    while (names && names[n])
        n++;
    return n;
}

static ListenerNode *findNode(const char *name, ListenerNode **previous)
{
    ListenerNode *prev = NULL;
    for (ListenerNode *n = s_first; n; prev = n, n = n->next) {
        if (CompareStringIgnoreCase(n->listener->name, name) == 0) {
            if (previous)
                *previous = prev;
            return n;
        }
    }
    return NULL;
}

static void freeListener(NotificationListener *l)
{
    free(l->name);
    free(l);
}

BOOL AddNotificationListener(const char *name, BYTE eventFilter, NotificationCallback callback,
                             BYTE enabled, char **tableNames)
{
    LogTrace("In Add notification Listener\n");
    if (!name || !callback) {
        LogError("AddNotificationListener : a listener needs a name and a callback\n");
        return FALSE;
    }
    if (findNode(name, NULL)) {
        LogError("Listener with same name exists %s\n", name);
        return TRUE;
    }
    NotificationListener *l = (NotificationListener *)calloc(1, sizeof *l);
    if (!l || CopyString(&l->name, name) != STRUTIL_OK) {
        free(l);
        LogError("Buffer Allocation is failed for listener!!!\n");
        return FALSE;
    }
    ListenerNode *node = (ListenerNode *)calloc(1, sizeof *node);
    if (!node) {
        freeListener(l);
        LogError("Buffer allocation is failed for nodePtr !!!\n");
        return FALSE;
    }
    size_t count = countNames(tableNames);
    if (count > 1)
        qsort(tableNames, count, sizeof *tableNames, compareNames);
    l->tableNames = tableNames;
    l->enabled = enabled;
    l->eventFilter = eventFilter;
    l->callback = callback;
    node->listener = l;
    if (s_last)
        s_last->next = node;
    else
        s_first = node;
    s_last = node;
    LogDebug("Listener with name %s added\n", name);
    return TRUE;
}

BOOL DisableNotification(const char *name)
{
    LogTrace("In Disable notification\n");
    ListenerNode *node = name ? findNode(name, NULL) : NULL;
    if (!node) {
        LogError("Listener with name %s doesn't exists\n", name ? name : "(null)");
        return FALSE;
    }
    node->listener->enabled = 0;
    LogDebug("Listener with name %s disabled\n", node->listener->name);
    return TRUE;
}

static void unlinkAndFree(ListenerNode *node, ListenerNode *prev)
{
    if (prev)
        prev->next = node->next;
    else
        s_first = node->next;
    if (s_last == node)
        s_last = prev;
    LogDebug("Listener with name %s removed\n", node->listener->name);
    freeListener(node->listener);
    free(node);
}

BOOL RemoveNotification(const char *name)
{
    LogTrace("In Remove notification\n");
    ListenerNode *prev = NULL;
    ListenerNode *node = name ? findNode(name, &prev) : NULL;
    if (!node) {
        LogError("Listener with name %s doesn't exists\n", name ? name : "(null)");
        return FALSE;
    }
    unlinkAndFree(node, prev);
    return TRUE;
}

void DeInitNotification(void)
{
    while (s_first)
        unlinkAndFree(s_first, NULL);
}

BOOL IsListContains(char **sortedNames, const char *name)
{
    LogTrace("@@@ Inside IsListContains @@@\n");
    size_t low = 0, high = name ? countNames(sortedNames) : 0;
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        int order = CompareStringIgnoreCase(sortedNames[mid], name);
        if (order == 0)
            return TRUE;
        if (order < 0)
            low = mid + 1;
        else
            high = mid;
    }
    LogDebug("List doesn't contains key \n");
    return FALSE;
}

IMDSNotification *CreateIMDSNotification(const RowObject *row, const char *tableName)
{
    LogTrace("In CreateIMDSNotification \n");
    TableData *td = tableName ? GetTableDataByName(tableName) : NULL;
    if (!row || !td || td->columnCount < 0)
        return NULL;
    INT32 columns = td->columnCount;
    IMDSNotification *n = (IMDSNotification *)calloc(1, sizeof *n);
    RowObject *copy = (RowObject *)calloc(1, sizeof *copy);
    if (!n || !copy) {
        free(n);
        free(copy);
        return NULL;
    }
    n->row = copy;
    n->columnCount = columns;
    copy->flags = row->flags;
    BOOL ok = CopyString(&n->tableName, tableName) == STRUTIL_OK;
    if (ok && columns > 0) {
        copy->values = (BYTE **)calloc((size_t)columns, sizeof *copy->values);
        copy->sizes = (INT32 *)calloc((size_t)columns, sizeof *copy->sizes);
        ok = copy->values && copy->sizes;
        for (INT32 i = 0; ok && i < columns; i++) {
            if (!row->values[i])
                continue;
            copy->values[i] = CopyValueBuffer(row->values[i], row->sizes[i]);
            copy->sizes[i] = row->sizes[i];
            ok = copy->values[i] != NULL;
        }
    }
    if (ok)
        n->changedAt = GetCurrentBrnDateTime();
    if (!ok || !n->changedAt) {
        FreeIMDSNotification(n);
        return NULL;
    }
    return n;
}

void FreeIMDSNotification(IMDSNotification *notification)
{
    if (!notification)
        return;
    free(notification->tableName);
    FreeRowObject(notification->row, notification->columnCount);
    FreeBrnDateTime(notification->changedAt);
    free(notification);
}

/* TRUE when a listener with `filter` takes a row with `flags`. */
static BOOL takesEvent(BYTE filter, BYTE flags)
{
    return filter == NOTIFY_EVENT_ANY || flags == filter || flags == (filter | ROW_FLAG_DELETED)
           || flags == (filter | ROW_FLAG_MODIFIED) || flags == (filter | ROW_FLAG_STORED);
}

void SendNotification(RowObject *row, const char *tableName)
{
    LogTrace("In send notification\n");
    if (!s_first)
        return;
    IMDSNotification *n = CreateIMDSNotification(row, tableName);
    if (!n)
        return;
    ListenerNode *next = NULL;
    for (ListenerNode *node = s_first; node; node = next) {
        /* Taken first, so that a listener may remove itself. */
        next = node->next;
        NotificationListener *l = node->listener;
        if (!l->enabled) {
            LogDebug("Listener %s  disabled\n", l->name);
        } else if (!IsListContains(l->tableNames, tableName)) {
            LogDebug("Listener not registered for %s table\n", tableName);
        } else if (!takesEvent(l->eventFilter, n->row->flags)) {
            LogDebug("Listener not registered for Eventype %d\n", (int)n->row->flags);
        } else {
            l->callback(n, l->name);
        }
    }
    FreeIMDSNotification(n);
}
