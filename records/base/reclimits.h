/* Named limits of the record framework, each with its unit, in one place
 * for every floor: the start-up files' tokens, connection pools, the memory
 * pool, SQL text building, the ODBC adapter, the XML readers, persistence,
 * personalities, data objects and the sequence generator. Only sizes, counts
 * and durations live here; file names, dialect indexes and result codes
 * belong to the header of the module that owns them. */
#ifndef VQ_RECORDS_BASE_RECLIMITS_H
#define VQ_RECORDS_BASE_RECLIMITS_H

#include <windows.h>

/* ---- Start-up files (connparams.txt, dsn_table_map.txt) ---- */

/* Longest token of connparams.txt / dsn_table_map.txt, in bytes. */
#define CPARLO_MAX_TOKEN           1024
/* Rest of a connparams.txt line kept as the raw connection string, bytes. */
#define CPARLO_MAX_RAW_CONNSTR     254

/* ---- Providers and connection pools ---- */

/* Provider slots loaded at once. */
#define CPARLO_PROVIDER_SLOTS      2

/* Connections per record made by EstablishDBConnectionPool(0). */
#define CPARLO_DEFAULT_POOL_SIZE   5
/* A handed-out connection opened longer ago than this is renewed, seconds. */
#define CPARLO_CONNECTION_MAX_AGE  27900

/* ---- Memory pool and SQL text ---- */

/* The framework's memory pool: block size and allocation granule, bytes. */
#define MEMPOOL_BLOCK_SIZE         8192
#define MEMPOOL_ALIGNMENT          8

/* Generated statements: initial size and growth step of the text, bytes. */
#define SQLTEXT_INITIAL_SIZE       512
#define SQLTEXT_GROWTH             512

/* ---- ODBC adapter ---- */

/* SQLDriverConnect's output buffer, the diagnostics message buffer, the
 * longest column name kept, and the piece read per SQLGetData call of a
 * long column (bytes). */
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

/* ---- SQLite provider ---- */

/* How long a statement waits for a lock another connection holds before it
 * fails with "database is locked", milliseconds. */
#define SQLITE_PROVIDER_BUSY_MS    5000

/* ---- Data dictionary loader ---- */

/* Bytes a file name of "datadictionary.txt" may take, terminator included:
 * names of this length or longer are skipped. */
#define DICT_LIST_NAME_MAX 272

/* Bytes of a built dictionary path (directory, separator, name). */
#define DICT_PATH_MAX (MAX_PATH + DICT_LIST_NAME_MAX)

/* ---- Table data from XML ---- */

/* Buckets of the AutoID map of one table-data load. */
#define XMLLOAD_AUTOID_BUCKETS 50

/* Element levels below the root that the table-data walk enters. libxml2
 * refuses documents nested deeper than 256 levels unless asked for huge
 * documents, so a parsed document never reaches it; a caller's own
 * document handed to ConstructTableDataFromXMLNode may, and the levels
 * beyond it are refused as a failed level. */
#define XMLLOAD_MAX_DEPTH 256

/* Steps of the search below a row element for a foreign-key value that no
 * enclosing element supplies (each step descends one level). */
#define XMLLOAD_MAX_DESCENT 64

/* Bytes an attribute value may take once its entity references are
 * replaced; a longer value is refused and the element fails to load. */
#define XMLLOAD_MAX_VALUE_BYTES (16 * 1024 * 1024)

/* Foreign-key lists of enclosing elements built for one row element (each
 * enclosing element's list is built once and reused). */
#define XMLLOAD_MAX_INHERIT_LISTS 1024

/* ---- Persistence, personalities, data objects ---- */

/* Longest line of loadtablelist.txt and savetableslist.txt kept, bytes
 * (without the line feed); a longer line is reported and skipped. */
#define PERSIST_MAX_LIST_LINE      254
/* Longest file name read from defaultdata.txt, bytes. */
#define PERSIST_MAX_FILE_NAME      1024

/* Distinct table names of a default-data document saved per batch. */
#define PERSIST_SAVE_BATCH         50

/* Size of an index table's text key column when its definition gives
 * none, bytes. */
#define PERSONALITY_INDEX_VARCHAR  255

/* Buckets of a data object's key map. */
#define DATAOBJECT_KEY_BUCKETS     100

/* ---- Sequence generator ---- */

/* Identifiers reserved from the database at a time, per generator. */
#define SEQGEN_BATCH_SIZE        300

/* Buckets of the generator state map (name -> next and batch end). */
#define SEQGEN_STATE_BUCKETS     50

/* Highest batch end that can still be stored: CURRENTBATCHEND is a signed
 * 32-bit column, so one more batch must not pass 2147483647. */
#define SEQGEN_MAX_BATCH_END     2147483647L

#endif
