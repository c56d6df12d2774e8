/* The check after a setup run that ended with 0: the Click-to-Run state is
 * read again and compared with what the rewritten document asked for, so
 * that a product, language or exclusion that setup left behind, or a removed
 * product that is still there, shows in the log. */
#ifndef VQ_DRIVER_INSTALLCHECK_H
#define VQ_DRIVER_INSTALLCHECK_H

#include <windows.h>
#include <string>
#include <vector>
#include "driver/ctrstate.h"

/* The languages that the state shows for a product: those recorded for
 * "<ID>.16", else the client culture, as the rewrite writes them. */
std::vector<std::string> LanguagesShownFor(const ClickToRunState &state, const std::string &id);

/* Logs at INFO what Click-to-Run holds now and one ERROR line per product,
 * language and exclusion of the document at `configPath` that the state
 * does not show, and per product the document removed that it still shows;
 * one ERROR line when the state or the document cannot be read. Nothing
 * else happens: the run's exit code stays as setup gave it. */
void CheckInstalledState(const char *configPath);

#endif
