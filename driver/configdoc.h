/* Edits the Office Deployment Tool configuration document in place with
 * libxml2: edition and versions, the Product elements rebuilt from the
 * Click-to-Run state, and the FORCEAPPSHUTDOWN property. Every operation
 * reads the file and saves it again ("utf-8", formatted). */
#ifndef VQ_DRIVER_CONFIGDOC_H
#define VQ_DRIVER_CONFIGDOC_H

#include <windows.h>
#include "driver/ctrstate.h"

/* Every save goes through a temporary file beside the document (a name of
 * this process that no leftover blocks), writes a symbolic link's target and
 * keeps the file's attributes; a save that fails is logged at ERROR with the
 * document and the reason and leaves the file as it was. */

/* Sets attribute on the first node that xpath selects and saves; logs and
 * leaves the file alone when nothing is selected. 0, or the Windows error
 * code of a failed save (a missing or unparsable file is not one). */
DWORD modifyAttribute(const char *path, const char *xpath, const char *attribute,
                      const char *value);

/* OfficeClientEdition "64" for x64, "32" for x86 (any case; nothing for other
 * platforms), then Version on Add and TargetVersion on Updates. 0, or the
 * error code of the first failed save (the later edits are not tried). */
DWORD ApplyEditionAndVersion(const char *path, const char *platform, const char *version);

/* Replaces every /Configuration/Add/Product with one Product per installed
 * product under the first Add. 0, or 13 when the document cannot be parsed,
 * has no /Configuration/Add or cannot be saved. */
DWORD RebuildProductElements(const char *path, const ClickToRunState *state);

/* Sets every FORCEAPPSHUTDOWN property to "TRUE" or "FALSE", adding one when
 * the document has none; other properties are left as they are. 0, or the
 * error code of a failed save (then without the INFO line). */
DWORD SetForceAppShutdown(const char *path, BOOL on);

/* The document edits of a run in their order: edition and versions, the
 * products, FORCEAPPSHUTDOWN. 0, or 13 when the document cannot be parsed,
 * has no /Configuration/Add or a save fails (the edits stop there). */
DWORD RewriteConfigurationDocument(const char *path, const ClickToRunState *state,
                                   const char *version, BOOL forceAppShutdown);

#endif
