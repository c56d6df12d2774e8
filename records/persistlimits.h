/* Named limits and file names of table persistence, personalities and data
 * objects, each with its unit. */
#ifndef VQ_RECORDS_PERSISTLIMITS_H
#define VQ_RECORDS_PERSISTLIMITS_H

/* List files, relative to the working directory; the fallback is
 * "%s/data/%s" under the framework root with the file's own name. The list
 * of tables to save is read under the root only. */
#define PERSIST_LOADLIST_PATH      "..\\data\\loadtablelist.txt"
#define PERSIST_LOADLIST_NAME      "loadtablelist.txt"
#define PERSIST_SAVELIST_NAME      "savetableslist.txt"
#define PERSIST_DEFAULTDATA_PATH   "..\\data\\defaultdata.txt"
#define PERSIST_DEFAULTDATA_NAME   "defaultdata.txt"
/* Directory of the default-data documents named in a list read from the
 * working directory's data folder. */
#define PERSIST_LOCAL_DATA_DIR     "..\\data\\"

/* Longest line of loadtablelist.txt and savetableslist.txt kept, bytes
 * (without the line feed); a longer line is reported and skipped. */
#define PERSIST_MAX_LIST_LINE      254
/* Longest file name read from defaultdata.txt, bytes. */
#define PERSIST_MAX_FILE_NAME      1024

/* Distinct table names of a default-data document saved per batch. */
#define PERSIST_SAVE_BATCH         50

/* "select * from %s" of LoadTable. */
#define PERSIST_SELECT_ALL         "select * from %s"

/* Index tables: the name suffix, and the size of a text key column when its
 * definition gives none, bytes. */
#define PERSONALITY_INDEX_SUFFIX   "_IDX"
#define PERSONALITY_INDEX_VARCHAR  255

/* Buckets of a data object's key map. */
#define DATAOBJECT_KEY_BUCKETS     100
/* Separator between the primary-key values of a key string. */
#define DATAOBJECT_KEY_SEPARATOR   "|"

#endif
