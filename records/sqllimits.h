/* Named limits and defaults of the framework's database layer: start-up
 * files, connection pools, the memory pool, SQL text building and the ODBC
 * adapter, each with its unit. */
#ifndef VQ_RECORDS_SQLLIMITS_H
#define VQ_RECORDS_SQLLIMITS_H

/* Start-up files, relative to the working directory; the fallback is
 * "%s/data/%s" under the framework root with the file's own name. */
#define CPARLO_DSN_MAP_PATH        "..\\data\\dsn_table_map.txt"
#define CPARLO_DSN_MAP_NAME        "dsn_table_map.txt"
#define CPARLO_CONNPARAMS_PATH     "..\\data\\connparams.txt"
#define CPARLO_CONNPARAMS_NAME     "connparams.txt"

/* Longest token of connparams.txt / dsn_table_map.txt, in bytes. */
#define CPARLO_MAX_TOKEN           1024
/* Rest of a connparams.txt line kept as the raw connection string, bytes. */
#define CPARLO_MAX_RAW_CONNSTR     254

/* Provider slots loaded at once. */
#define CPARLO_PROVIDER_SLOTS      2

/* Connections per record made by EstablishDBConnectionPool(0). */
#define CPARLO_DEFAULT_POOL_SIZE   5
/* A handed-out connection opened longer ago than this is renewed, seconds. */
#define CPARLO_CONNECTION_MAX_AGE  27900

/* Owner values of a pooled connection. */
#define CPARLO_OWNER_FREE          (-1)
#define CPARLO_OWNER_SHARED        1

/* The framework's memory pool: block size and allocation granule, bytes. */
#define MEMPOOL_BLOCK_SIZE         8192
#define MEMPOOL_ALIGNMENT          8

/* Generated statements: initial size and growth step of the text, bytes. */
#define SQLTEXT_INITIAL_SIZE       512
#define SQLTEXT_GROWTH             512

/* Dialect names, in the order of the default-dialect index. */
#define SQL_DIALECT_MYSQL          0
#define SQL_DIALECT_PGSQL          1
#define SQL_DIALECT_FIREBIRD       2
#define SQL_DIALECT_SQLITE         3
#define SQL_DIALECT_COUNT          4

/* ODBC adapter: SQLDriverConnect's output buffer, the diagnostics message
 * buffer, the longest column name kept, and the piece read per SQLGetData
 * call of a long column (bytes). */
#define ODBC_CONNSTR_OUT_SIZE      1025
#define ODBC_DIAG_MESSAGE_SIZE     255
#define ODBC_COLUMN_NAME_MAX       99
#define ODBC_GETDATA_PIECE         8192
/* Block fetch of query rows: the most rows fetched per SQLFetch, the most
 * bytes of bound buffers per block (fewer rows when the row is wide), the
 * longest reported column size (characters) read through a bound buffer
 * rather than cell by cell, and the least buffer bytes given to a column
 * (numbers and dates, whose reported size counts digits, not characters). */
#define ODBC_FETCH_BLOCK_ROWS      256
#define ODBC_FETCH_BLOCK_BYTES     (256 * 1024)
#define ODBC_BIND_MAX_CHARS        1024
#define ODBC_BIND_MIN_BYTES        64
/* Longest driver name read from a DSN list line, bytes. */
#define ODBC_MAX_DRIVER_NAME       254

#endif
