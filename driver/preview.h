/* The preview of a deployment ("-preview"): what a run would make of the
 * configuration document on this computer, shown without doing any of it.
 * The document is rewritten as a copy in the temporary folder from the
 * Click-to-Run state, the copy is printed, and after it a summary of the
 * edition, versions, products, FORCEAPPSHUTDOWN and what a run would do
 * about the Office applications running now. Nothing is killed, extracted,
 * run, rewritten or deleted, and nothing is waited for. */
#ifndef VQ_DRIVER_PREVIEW_H
#define VQ_DRIVER_PREVIEW_H

#include <windows.h>
#include <stdio.h>

/* Previews a run with the document at configPath, the tool at toolPath (""
 * when "-odt" was not given) and the version to install, printing to `out`.
 * 2 when the document is missing, 13 when it does not parse or its copy
 * cannot be rewritten, else 0. `ticksSinceBoot` is the time since Windows
 * started in milliseconds (the product passes GetTickCount64()). */
LONG PreviewDeployment(const char *configPath, const char *toolPath, const char *version,
                       FILE *out, ULONGLONG ticksSinceBoot);

#endif
