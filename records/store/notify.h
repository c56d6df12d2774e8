/* The change notification service: named listeners register for the row
 * changes of chosen tables, optionally filtered by event, and the table
 * store tells them of every added, updated and deleted row. Listeners are
 * called synchronously on the thread that changed the row. The listener
 * list is not locked: register and remove listeners while no other thread
 * changes rows. */
#ifndef VQ_RECORDS_STORE_NOTIFY_H
#define VQ_RECORDS_STORE_NOTIFY_H

#include <windows.h>

#include "records/base/datetime.h"
#include "records/store/tablestore.h"

/* Event filter of a listener that takes every row change. */
#define NOTIFY_EVENT_ANY         0

/* One row change as a listener sees it. Everything is a copy owned by the
 * notification, which is freed after the last listener returned: a
 * listener that wants to keep anything copies it. The row's flags are the
 * event (ROW_FLAG_*, combined); the copy has no successor. */
typedef struct IMDSNotification {
    char *tableName;
    RowObject *row;
    INT32 columnCount;      /* value buffers of the row copy */
    BrnDateTime *changedAt; /* local date and time of the change */
} IMDSNotification;

typedef void (*NotificationCallback)(IMDSNotification *notification, const char *listenerName);

typedef struct NotificationListener {
    char *name;             /* owned; unique, compared case-insensitively */
    char **tableNames;      /* the caller's null-terminated array, sorted */
    BYTE enabled;
    BYTE eventFilter;       /* NOTIFY_EVENT_ANY, or the flags it takes */
    NotificationCallback callback;
} NotificationListener;

/* Registers a listener after the existing ones. Sorts the caller's
 * null-terminated `tableNames` in place (case-insensitively) and keeps it:
 * the array and its texts must outlive the listener. A listener with the
 * filter 0 takes every event; otherwise it takes rows whose flags equal
 * the filter, alone or with one of the flags deleted, modified or stored
 * added. A name already registered (in any letter case) is reported and
 * left as it is, and the call answers TRUE. FALSE for a missing name or
 * callback and when out of memory. */
BOOL AddNotificationListener(const char *name, BYTE eventFilter, NotificationCallback callback,
                             BYTE enabled, char **tableNames);

/* Stops delivery to the named listener for good (it must be removed and
 * added again to receive anything). FALSE for an unknown name. */
BOOL DisableNotification(const char *name);

/* Removes and frees the named listener. FALSE for an unknown name. */
BOOL RemoveNotification(const char *name);

/* Removes every listener. */
void DeInitNotification(void);

/* TRUE when `name` is in the null-terminated array `sortedNames` (sorted
 * case-insensitively), compared case-insensitively. NULL arrays and names
 * contain nothing. */
BOOL IsListContains(char **sortedNames, const char *name);

/* A notification of the row of that table (copied with its values and
 * flags) at the local time now; free it with FreeIMDSNotification. NULL
 * for an unknown table or when out of memory. */
IMDSNotification *CreateIMDSNotification(const RowObject *row, const char *tableName);

void FreeIMDSNotification(IMDSNotification *notification);

/* Tells every enabled listener registered for the table and the row's
 * event of the change, in registration order. A notification that cannot
 * be built is not delivered; the row change itself is never affected. */
void SendNotification(RowObject *row, const char *tableName);

#endif
