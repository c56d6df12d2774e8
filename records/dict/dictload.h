/* The data dictionary's file loader: reads the list file
 * "datadictionary.txt" of a data directory and every dictionary XML file it
 * names, and appends a TableDefn per table element to the dictionary
 * registry (tabledefn.h). Run once at framework start on the starting
 * thread. */
#ifndef VQ_RECORDS_DICT_DICTLOAD_H
#define VQ_RECORDS_DICT_DICTLOAD_H

#include <windows.h>

/* Name of the list file of dictionary files in a data directory. */
#define DICT_LIST_FILE_NAME "datadictionary.txt"

/* Data directory relative to the working directory, tried first. */
#define DICT_RELATIVE_DATA_DIR "..\\data"

/* Loads every file named in "..\\data\\datadictionary.txt" (relative to the
 * working directory), or when that cannot be opened in
 * "<root>/data/datadictionary.txt" with the framework root of
 * SetCParloRoot. FALSE only when neither list file opens ("Cannot open
 * DataDictionary File.\n"); a dictionary file that fails is reported and
 * the next one is read. */
BOOL LoadAllDataDictFiles(void);

/* The same for "<directory>\\datadictionary.txt", each file named relative
 * to `directory`. FALSE for a NULL directory or a list file that does not
 * open. */
BOOL LoadDataDictFiles(const char *directory);

/* Reads one dictionary XML file and appends its tables to the registry.
 * FALSE only for a NULL path: an unreadable file, a malformed document or a
 * faulty table is reported at ERROR level, and the tables read before the
 * fault stay in the registry. */
BOOL LoadDataDictFromXMLFile(const char *path);

#endif
