// The loaded disc into the disc catalogue, after a report is written and from File > Add to Catalogue: the
// catalogue the profile names (CATALOGUE=) or the default one; a failure says why and changes nothing else.
#pragma once

#include <string>

// CATALOGUE of the profile, else $XDG_DATA_HOME/ckvd-explorer/catalogue.sqlite.
std::string App_CataloguePath();
// Adds or updates the loaded disc under `number` (-1: the disc's number in the catalogue, else the next
// management number) in the catalogue at `path` (App_CataloguePath() when empty). True with "added disc
// 12 (VOLUME, 45 entries)" in `message`, else false with the reason.
bool App_AddToCatalogue(int number, const std::string& commentUtf8, const std::string& path,
                        std::string& message);
