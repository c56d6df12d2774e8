/* Named limits and defaults of the framework's XML readers: the data
 * dictionary loader and the table-data loader. */
#ifndef VQ_RECORDS_XMLLIMITS_H
#define VQ_RECORDS_XMLLIMITS_H

/* Bytes a file name of "datadictionary.txt" may take, terminator included:
 * names of this length or longer are skipped. */
#define DICT_LIST_NAME_MAX 272

/* Name of the list file of dictionary files in a data directory. */
#define DICT_LIST_FILE_NAME "datadictionary.txt"

/* Data directory relative to the working directory, tried first. */
#define DICT_RELATIVE_DATA_DIR "..\\data"

/* Bytes of a built dictionary path (directory, separator, name). */
#define DICT_PATH_MAX (MAX_PATH + DICT_LIST_NAME_MAX)

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

#endif
