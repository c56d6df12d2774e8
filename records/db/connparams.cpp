/* Loading and lookup of the connection records and the table-to-connection
 * map. Both files are read token by token (any white space separates), the
 * records with the rest of their line as the optional raw connection
 * string. */
#include "records/db/connparams.h"
#include "records/base/reclimits.h"
#include "records/base/strutil.h"

#include "agent/log.h"
#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

static ConnParamsEntry **s_records;
static INT32 s_recordCount;
static DataSourceMapEntry **s_map;
static INT32 s_mapCount;

FILE *OpenCParloDataFile(const char *path, const char *name)
{
    FILE *f = path ? fopen(path, "r") : NULL;
    if (f)
        return f;
    if (!gv_cParloRoot || !name)
        return NULL;
    char *full = FormatNewText("%s/data/%s", gv_cParloRoot, name);
    if (!full)
        return NULL;
    LogDebug("Opening %s\n", full);
    f = fopen(full, "r");
    free(full);
    return f;
}

/* Reads one white-space-separated token; FALSE at the end of the file. */
static BOOL readToken(FILE *f, char *buf)
{
    char format[16];
    snprintf(format, sizeof format, "%%%ds", CPARLO_MAX_TOKEN - 1);
    return fscanf(f, format, buf) == 1;
}

static BOOL appendPointer(void ***list, INT32 *count, void *item)
{
    void **grown = (void **)realloc(*list, sizeof *grown * (size_t)(*count + 1));
    if (!grown)
        return FALSE;
    grown[(*count)++] = item;
    *list = grown;
    return TRUE;
}

void FreeConnParamsEntry(ConnParamsEntry *e)
{
    if (!e)
        return;
    free(e->firstName);
    free(e->dsn);
    free(e->user);
    free(e->password);
    free(e->connectionName);
    free(e->rawString);
    free(e->driver);
    free(e->dbType);
    free(e);
}

BOOL AddConnParamsEntry(ConnParamsEntry *entry)
{
    return entry && appendPointer((void ***)&s_records, &s_recordCount, entry);
}

/* A record of the ten tokens and the rest of its line; NULL when out of
 * memory. */
static ConnParamsEntry *buildRecord(char tok[10][CPARLO_MAX_TOKEN], const char *rest)
{
    ConnParamsEntry *e = (ConnParamsEntry *)calloc(1, sizeof *e);
    if (!e)
        return NULL;
    e->port = (WORD)strtoul(tok[1], NULL, 10);
    BOOL raw = strcasecmp(tok[9], "YES") == 0;
    BOOL ok = CopyString(&e->firstName, tok[0]) == STRUTIL_OK
           && CopyString(&e->dsn, tok[2]) == STRUTIL_OK
           && CopyString(&e->user, tok[3]) == STRUTIL_OK
           && CopyString(&e->password, strcmp(tok[4], "NULL") == 0 ? NULL : tok[4]) == STRUTIL_OK
           && CopyString(&e->connectionName, tok[6]) == STRUTIL_OK
           && CopyString(&e->driver, tok[7]) == STRUTIL_OK
           && CopyString(&e->dbType, tok[8]) == STRUTIL_OK;
    if (ok && raw) {
        e->rawStringFlag = 1;
        /* The separating blank is not part of the string. */
        ok = CopyString(&e->rawString, rest[0] ? rest + 1 : rest) == STRUTIL_OK;
    }
    if (!ok) {
        FreeConnParamsEntry(e);
        return NULL;
    }
    return e;
}

BOOL LoadConnParamsEntryFromFile(const char *path)
{
    FILE *f = OpenCParloDataFile(path, CPARLO_CONNPARAMS_NAME);
    if (!f) {
        LogError("Cannot open Connection Parameters File.\n");
        return FALSE;
    }
    static char tok[10][CPARLO_MAX_TOKEN];
    for (;;) {
        int i = 0;
        while (i < 10 && readToken(f, tok[i]))
            i++;
        if (i < 10)
            break;
        char rest[CPARLO_MAX_RAW_CONNSTR + 2];
        if (!fgets(rest, sizeof rest, f))
            rest[0] = '\0';
        else if (!strchr(rest, '\n')) {
            int ch;
            while ((ch = fgetc(f)) != EOF && ch != '\n') {
            }
        }
        rest[strcspn(rest, "\r\n")] = '\0';
        ConnParamsEntry *e = buildRecord(tok, rest);
        if (!e || !AddConnParamsEntry(e)) {
            FreeConnParamsEntry(e);
            LogError("Unable to allocate memory\n");
        }
    }
    fclose(f);
    return TRUE;
}

ConnParamsEntry *GetConnParamsEntry(const char *connectionName)
{
    if (!connectionName)
        return NULL;
    for (INT32 i = 0; i < s_recordCount; i++)
        if (s_records[i]->connectionName && strcmp(s_records[i]->connectionName, connectionName) == 0)
            return s_records[i];
    return NULL;
}

BOOL DeleteConnParamsEntry(const char *connectionName)
{
    for (INT32 i = 0; connectionName && i < s_recordCount; i++) {
        if (s_records[i]->connectionName && strcmp(s_records[i]->connectionName, connectionName) == 0) {
            FreeConnParamsEntry(s_records[i]);
            memmove(&s_records[i], &s_records[i + 1], sizeof *s_records * (size_t)(s_recordCount - i - 1));
            s_recordCount--;
            return TRUE;
        }
    }
    return FALSE;
}

const char *GetDefaultConnectionName(void)
{
    if (s_recordCount == 0)
        return NULL;
    if (!s_records[0]->connectionName) {
        LogError("Connection Name IS NULL\n");
        return NULL;
    }
    return s_records[0]->connectionName;
}

ConnParamsEntry **GetConnParamsEntries(INT32 *count)
{
    if (count)
        *count = s_recordCount;
    return s_records;
}

void FreeAllConnParamsEntries(void)
{
    for (INT32 i = 0; i < s_recordCount; i++)
        FreeConnParamsEntry(s_records[i]);
    free(s_records);
    s_records = NULL;
    s_recordCount = 0;
}

DataSourceMapEntry *CreateDataSourceMapEntry(const char *tableName, const char *connectionName)
{
    LogTrace("@@@ Inside CreateDataSourceMapEntry @@@\n");
    if (!tableName || !connectionName)
        return NULL;
    DataSourceMapEntry *e = (DataSourceMapEntry *)calloc(1, sizeof *e);
    if (!e || CopyString(&e->tableName, tableName) != STRUTIL_OK
        || CopyString(&e->connectionName, connectionName) != STRUTIL_OK) {
        if (e) {
            free(e->tableName);
            free(e);
        }
        return NULL;
    }
    return e;
}

BOOL AddDataSourceMapEntry(DataSourceMapEntry *entry)
{
    LogTrace("@@@ Inside AddDataSourceMapEntry @@@\n");
    return entry && appendPointer((void ***)&s_map, &s_mapCount, entry);
}

static void freeMapEntry(DataSourceMapEntry *e)
{
    free(e->tableName);
    free(e->connectionName);
    free(e);
}

BOOL DeleteDataSourceMapEntry(const char *tableName)
{
    LogTrace("@@@ Inside DeleteDataSourceMapEntry @@@\n");
    for (INT32 i = 0; tableName && i < s_mapCount; i++) {
        if (strcasecmp(s_map[i]->tableName, tableName) == 0) {
            freeMapEntry(s_map[i]);
            memmove(&s_map[i], &s_map[i + 1], sizeof *s_map * (size_t)(s_mapCount - i - 1));
            s_mapCount--;
            return TRUE;
        }
    }
    return FALSE;
}

DataSourceMapEntry *GetDataSourceMapEntry(const char *tableName)
{
    LogTrace("@@@ Inside GetDataSourceMapEntry @@@\n");
    for (INT32 i = 0; tableName && i < s_mapCount; i++)
        if (strcasecmp(s_map[i]->tableName, tableName) == 0)
            return s_map[i];
    return NULL;
}

void FreeAllDataSourceMapEntries(void)
{
    LogTrace("@@@ Inside FreeAllDataSourceMapEntries @@@\n");
    for (INT32 i = 0; i < s_mapCount; i++)
        freeMapEntry(s_map[i]);
    free(s_map);
    s_map = NULL;
    s_mapCount = 0;
}

BOOL LoadDataSourceMapEntryFromFile(const char *path)
{
    LogTrace("@@@ Inside LoadDataSourceMapEntryFromFile @@@\n");
    FILE *f = OpenCParloDataFile(path, CPARLO_DSN_MAP_NAME);
    if (!f) {
        LogError("Cannot open DataSourceMap Entry File.\n");
        return FALSE;
    }
    static char table[CPARLO_MAX_TOKEN], conn[CPARLO_MAX_TOKEN];
    while (readToken(f, table) && readToken(f, conn)) {
        DataSourceMapEntry *e = CreateDataSourceMapEntry(table, conn);
        if (!e || !AddDataSourceMapEntry(e)) {
            if (e)
                freeMapEntry(e);
            LogError("Unable to allocate memory\n");
        }
    }
    fclose(f);
    return TRUE;
}
