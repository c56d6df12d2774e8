/* Data-source creation through the ODBC installer: SQLConfigDataSource is
 * looked up in odbccp32.dll when first needed, so the framework runs where
 * no installer library is present. */
#include "records/db/odbcadapter.h"
#include "records/base/reclimits.h"

#include "agent/log.h"

#include <odbcinst.h>
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef BOOL (WINAPI *ConfigDataSourceFn)(HWND, WORD, LPCSTR, LPCSTR);
typedef SQLRETURN (WINAPI *InstallerErrorFn)(WORD, DWORD *, LPSTR, WORD, WORD *);

static HMODULE installerLibrary(void)
{
    static HMODULE s_installer;
    if (!s_installer)
        s_installer = LoadLibraryA("odbccp32.dll");
    return s_installer;
}

/* Logs the installer's first error record after a failed call. */
static void logInstallerError(HMODULE lib)
{
    InstallerErrorFn installerError = (InstallerErrorFn)(void *)GetProcAddress(lib, "SQLInstallerError");
    if (!installerError)
        return;
    DWORD code = 0;
    char msg[ODBC_DIAG_MESSAGE_SIZE] = "";
    WORD len = 0;
    if (installerError(1, &code, msg, (WORD)sizeof msg, &len) != SQL_NO_DATA)
        LogError("CreateDSN : installer error %lu : %s\n", (unsigned long)code, msg);
}

BOOL CreateDSN(const char *dsn, const char *description, const char *server, const char *user,
               const char *password, const char *database, const char *driver)
{
    if (!dsn || !driver) {
        LogError("DriverName or DSN name is NULL \n");
        return FALSE;
    }
    const char *keys[] = {"DSN", "DESCRIPTION", "SERVER", "UID", "PWD", "DATABASE"};
    const char *values[] = {dsn, description, server, user, password, database};
    /* The installer reads "key=value" pairs each ended by a zero byte, the
     * list ended by a second zero byte. */
    size_t total = 1;
    for (int i = 0; i < 6; i++)
        if (values[i] && _stricmp(values[i], "NULL") != 0)
            total += strlen(keys[i]) + 1 + strlen(values[i]) + 1;
    char *attrs = (char *)calloc(total, 1);
    if (!attrs) {
        LogError("Unable to Allocate and copy dsnStr \n");
        return FALSE;
    }
    char *p = attrs;
    for (int i = 0; i < 6; i++) {
        if (!values[i] || _stricmp(values[i], "NULL") == 0)
            continue;
        p += sprintf(p, "%s=%s", keys[i], values[i]) + 1;
    }
    HMODULE lib = installerLibrary();
    ConfigDataSourceFn configDataSource =
        lib ? (ConfigDataSourceFn)(void *)GetProcAddress(lib, "SQLConfigDataSource") : NULL;
    BOOL ok = configDataSource && configDataSource(NULL, ODBC_ADD_DSN, driver, attrs);
    if (!ok) {
        LogError("SQLConfigDataSource returned FALSE \n");
        if (lib)
            logInstallerError(lib);
    }
    free(attrs);
    return ok;
}

int CreateDSNsFromFile(const char *path)
{
    FILE *f = path ? fopen(path, "r") : NULL;
    if (!f) {
        LogError("Error opening File %s \n", path ? path : "(null)");
        return 0;
    }
    char tok[6][CPARLO_MAX_TOKEN];
    char format[32];
    snprintf(format, sizeof format, "%%%ds", CPARLO_MAX_TOKEN - 1);
    for (;;) {
        int i = 0;
        for (; i < 6; i++)
            if (fscanf(f, format, tok[i]) != 1)
                break;
        if (i < 6)
            break;
        char driver[ODBC_MAX_DRIVER_NAME + 2];
        if (!fgets(driver, sizeof driver, f))
            driver[0] = '\0';
        else if (!strchr(driver, '\n')) {
            /* A longer line: the rest is not part of the name. */
            int ch;
            while ((ch = fgetc(f)) != EOF && ch != '\n') {
            }
        }
        char *d = driver;
        while (*d == ' ' || *d == '\t')
            d++;
        size_t n = strcspn(d, "\r\n");
        d[n] = '\0';
        const char *v[6];
        for (int k = 0; k < 6; k++)
            v[k] = _stricmp(tok[k], "NULL") == 0 ? NULL : tok[k];
        if (!CreateDSN(tok[0], v[1], v[2], v[3], v[4], v[5], *d ? d : NULL))
            LogError("Creating DSN %s Failed\n", tok[0]);
    }
    fclose(f);
    return 1;
}
