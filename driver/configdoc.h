/* Edits the Office Deployment Tool configuration document in place with
 * libxml2: edition and versions, the Product elements rebuilt from the
 * Click-to-Run state, and the FORCEAPPSHUTDOWN property. Every operation
 * reads the file and saves it again ("utf-8", formatted). */
#ifndef VQ_DRIVER_CONFIGDOC_H
#define VQ_DRIVER_CONFIGDOC_H

#include <windows.h>
#include "driver/ctrstate.h"

/* Sets attribute on the first node that xpath selects and saves; logs and
 * leaves the file alone when nothing is selected. */
void modifyAttribute(const char *path, const char *xpath, const char *attribute,
                     const char *value);

/* OfficeClientEdition "64" for x64, "32" for x86 (any case; nothing for other
 * platforms), then Version on Add and TargetVersion on Updates. */
void ApplyEditionAndVersion(const char *path, const char *platform, const char *version);

/* Replaces every /Configuration/Add/Product with one Product per installed
 * product under the first Add. 0, or 13 when the document cannot be parsed
 * or has no /Configuration/Add. */
DWORD RebuildProductElements(const char *path, const ClickToRunState *state);

/* Sets the FORCEAPPSHUTDOWN property to "TRUE" or "FALSE", adding it when the
 * document has none; other properties are left as they are. */
void SetForceAppShutdown(const char *path, BOOL on);

#endif
