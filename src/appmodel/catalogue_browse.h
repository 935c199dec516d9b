// A catalogued disc browsed without the disc: the Disc the window shows made from the catalogue's entries
// (Cat_ListedDisc), and what a command that needs the disc's sectors says instead of reading.
#pragma once

#include <memory>
#include <string>

#include "catalogue/catalogue.h"

class Disc;

// Disc `number` of the catalogue (App_CataloguePath) as a Disc to show, with its catalogue fields; false with
// the reason ("no disc N in the catalogue", no catalogue, out of memory).
bool App_ReadCataloguedDisc(int number, std::unique_ptr<Disc>& disc, CatalogueDisc& info, std::string& error);
// The image file a disc was read from while it is still there (a regular file, no device), else empty.
std::string App_CataloguedImage(const std::string& source);
// Why the catalogue at App_CataloguePath() cannot be read, in the dialogs' words, from Catalogue::Open's
// `error` (none there yet: nothing makes one but an add).
std::string App_CatalogueProblem(const std::string& error);
// "This disc is shown from the catalogue: insert disc VOLUME (number 12) to read it."
std::string App_InsertDiscText(const CatalogueDisc& disc);
// For pictures of the catalogue's windows: the loaded disc added as disc `number` to the catalogue at `path`
// (made where it is not), and a copy of it as disc `number + 1` named `copyVolume`, so that each of its files
// is found on two discs. False with the reason.
bool App_CatalogueLoadedTwice(const std::string& path, int number, const std::string& copyVolume,
                              std::string& error);
