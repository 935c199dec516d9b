#include "appmodel/catalogue_add.h"

#include <vector>

#include "aspi/aspi_manager.h"
#include "catalogue/catalogue.h"
#include "iso9660/iso9660.h"
#include "report/report_number.h"

std::string App_CataloguePath() {
    const std::string named = Report_ReadProfileValue(Report_ProfilePath(), "CATALOGUE");
    return named.empty() ? Cat_DefaultPath() : named;
}

bool App_AddToCatalogue(int number, const std::string& commentUtf8, const std::string& path,
                        std::string& message) {
    if (!g_DiscModel || !g_DiscModel->firstSession) {
        message = "no disc is loaded";
        return false;
    }
    Catalogue cat;
    if (!cat.Open(path.empty() ? App_CataloguePath() : path, true, message))
        return false;
    CatalogueDisc disc;
    Cat_LoadedDisc(disc);
    disc.number = number;
    disc.comment = commentUtf8;
    // Where it was read from: the image file, or the drive's device.
    if (const DeviceEntry* d = Aspi_GetDevice(g_DiscModel->device)) {
        disc.source = d->driveRootPath;
        if (!disc.source.empty() && disc.source.back() == '/')
            disc.source.pop_back();
    }
    // A disc new to the catalogue without a number takes the next management number, as a report would.
    const auto take = [] {
        int used = 0, stored = 0;
        std::string error;
        return Report_TakeNumber(Report_ProfilePath(), 0, true, &used, &stored, &error) ? used : -1;
    };
    int used = 0;
    bool updated = false;
    uint64_t entries = 0;
    if (!cat.Add(disc, Cat_EachLoadedEntry, take, &used, &updated, &entries, message))
        return false;
    message = (updated ? "updated disc " : "added disc ") + std::to_string(used) + " (" + disc.volume + ", " +
              std::to_string(entries) + " entries) in " + cat.Path();
    return true;
}
