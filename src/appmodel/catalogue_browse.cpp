#include "appmodel/catalogue_browse.h"

#include <sys/stat.h>

#include "appmodel/catalogue_add.h"
#include "iso9660/disc.h"

bool App_ReadCataloguedDisc(int number, std::unique_ptr<Disc>& disc, CatalogueDisc& info,
                            std::string& error) {
    Catalogue catalogue;
    std::vector<CatalogueEntry> entries;
    if (!catalogue.Open(App_CataloguePath(), false, error) || !catalogue.Show(number, info, entries, error))
        return false;
    disc = Cat_ListedDisc(info, entries);
    if (!disc)
        error = "not enough memory for the " + std::to_string(entries.size()) + " entries of disc " +
                std::to_string(number);
    return disc != nullptr;
}

std::string App_CataloguedImage(const std::string& source) {
    struct stat st {};
    if (source.empty() || source.rfind("/dev/", 0) == 0 || ::stat(source.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return {};
    return source;
}

std::string App_InsertDiscText(const CatalogueDisc& disc) {
    return "This disc is shown from the catalogue: insert disc " + disc.volume + " (number " +
           std::to_string(disc.number) + ") to read it.";
}

std::string App_CatalogueProblem(const std::string& error) {
    const std::string path = App_CataloguePath();
    return error == "no catalogue at " + path
               ? "No catalogue at " + path + " yet: File > Add to Catalogue or a disc report makes it"
               : "The catalogue cannot be used: " + error;
}

bool App_CatalogueLoadedTwice(const std::string& path, int number, const std::string& copyVolume,
                              std::string& error) {
    if (!App_AddToCatalogue(number, "", path, error))
        return false;
    Catalogue catalogue;
    CatalogueDisc disc;
    std::vector<CatalogueEntry> entries;
    if (!catalogue.Open(path, false, error) || !catalogue.Show(number, disc, entries, error))
        return false;
    disc.number = number + 1;
    disc.volume = copyVolume;
    disc.comment = "a copy";
    int used = 0;
    bool updated = false;
    return catalogue.Add(disc, entries, nullptr, &used, &updated, error);
}
