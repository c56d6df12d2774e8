/* Table data from XML: every element below a document's root whose name is
 * a table of the table registry or of the data dictionary becomes one new
 * row of that table, its attributes the column values. Reference texts
 * ("table:column:key") on numeric columns become generated identifiers
 * shared through the load's AutoID map; key columns that an element lacks
 * are inherited from the elements that enclose it. Loading is not locked,
 * and each file or text load ends with xmlCleanupParser, so no other
 * libxml2 work may run at the same time. */
#ifndef VQ_RECORDS_XML_XMLLOAD_H
#define VQ_RECORDS_XML_XMLLOAD_H

#include <windows.h>

#include <libxml/tree.h>

#include "records/base/hashmap.h"

/* Loads the rows of an XML file. FALSE when it does not parse ("error:
 * could not parse file file.xml\n") or a row element at the top level
 * cannot be loaded ("Cannot construct table data from XML file.\n"). Rows
 * added before a failure stay. */
BOOL ConstructTableDataFromXMLFile(const char *path);

/* The same for `length` bytes of XML text: 1 on success, 0 on failure
 * ("Cannot construct table data from XML buffer.\n"). */
int ConstructTableDataFromXMLBuffer(const char *text, int length);

/* Loads the rows below `element` of a document the caller parsed and still
 * owns. The load's AutoID map on success (the caller releases it with
 * FreeAutoIDMap), NULL on failure ("Cannot construct table data from buffer
 * node.\n"). */
HashMap *ConstructTableDataFromXMLNode(xmlDocPtr doc, xmlNodePtr element);

/* Releases an AutoID map with the identifiers it holds. NULL is accepted. */
void FreeAutoIDMap(HashMap *map);

/* Converts an attribute text into a new value buffer of the column type in
 * *value with its recorded size in *size: integers (codes 1-3, 5, 6: 32
 * bits; 7, 8: 64 bits; an optional sign and digits only, anything else or a
 * value out of range gives 0), reals (9: float, 10: double; a text that is
 * not wholly a number gives 0), texts (14, 15, 22: a copy), date "y-m-d"
 * (16, BrnDate), time "h:m:s" (17, BrnTime), date-time "y-m-d h:m:s" (18,
 * BrnDateTime with both parts; fields that the text does not supply are 0),
 * boolean (19: 0 for "false" in any case, else 1). The other codes store no
 * value and succeed (*value NULL). FALSE for a NULL text (TRACE "value
 * parameter in AllocateAndCopyColumnValue is NULL \n") or when out of
 * memory; *value is NULL then. */
BOOL AllocateAndCopyColumnValue(BYTE **value, INT32 *size, BYTE type, const char *text);

#endif
