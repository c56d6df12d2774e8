/* What a configuration document asks of the deployment tool, read back from
 * the file: the edition and versions, the products to add with their
 * languages and excluded applications, the products to remove, and the
 * FORCEAPPSHUTDOWN values. Read for the preview's summary and for the check
 * of the Click-to-Run state after setup. */
#ifndef VQ_DRIVER_DOCREQUEST_H
#define VQ_DRIVER_DOCREQUEST_H

#include <windows.h>
#include <string>
#include <vector>

/* An attribute's value, or absent. */
struct DocumentValue {
    bool present = false;
    std::string text;
};

struct RequestedProduct {
    std::string id;
    std::vector<std::string> languages;     /* Language IDs in document order */
    std::vector<std::string> excludedApps;  /* ExcludeApp IDs in document order */
};

struct DocumentRequest {
    DocumentValue edition;        /* OfficeClientEdition of the first Add */
    DocumentValue version;        /* Version of the first Add */
    DocumentValue targetVersion;  /* TargetVersion of the first Updates */
    std::vector<RequestedProduct> products;     /* Product of every Add, in order */
    std::vector<std::string> removedProducts;   /* Product IDs of every Remove */
    std::vector<std::string> forceAppShutdown;  /* Value of each FORCEAPPSHUTDOWN Property */
};

/* 0, or 13 when the file cannot be parsed. */
DWORD ReadDocumentRequest(const char *path, DocumentRequest *out);

/* The products that a document removes and does not add again: those the
 * deployment leaves uninstalled. IDs compare without regard to case. */
std::vector<std::string> ProductsLeftRemoved(const DocumentRequest &request);

/* The items of a list joined by `separator` for a log line or the preview's
 * summary; "(none)" for an empty list. */
std::string ListText(const std::vector<std::string> &list, const char *separator);

#endif
