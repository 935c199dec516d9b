// ckvd catalog check, vacuum and copy: the catalogue's care, on every store.
#pragma once

#include "cli_options.h"

// Whether `what` is one of these commands.
bool Cmd_IsCatalogAdmin(const std::string& what);
// Runs one of them on the catalogue of `o` (--catalogue, else the profile's or the default one).
int Cmd_CatalogAdmin(const CliOptions& o);
