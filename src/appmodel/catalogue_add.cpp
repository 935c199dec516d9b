#include "appmodel/catalogue_add.h"

#include <utility>
#include <vector>

#include "appmodel/disc_analysis.h"
#include "aspi/aspi_manager.h"
#include "catalogue/catalogue.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "report/report_number.h"

namespace {
std::string g_usedCatalogue; // App_UseCatalogue's, on the GUI thread before any worker reads it
} // namespace

void App_UseCatalogue(const std::string& path) {
    g_usedCatalogue = path;
}

std::string App_CataloguePath() {
    if (!g_usedCatalogue.empty())
        return g_usedCatalogue;
    const std::string named = Report_ReadProfileValue(Report_ProfilePath(), "CATALOGUE");
    return named.empty() ? Cat_DefaultPath() : named;
}

bool App_AddToCatalogue(int number, const std::string& commentUtf8, const std::string& path,
                        std::string& message) {
    return App_AddToCatalogue(Iso_CurrentDisc(), number, commentUtf8, path, message);
}

bool App_AddToCatalogue(Disc& from, int number, const std::string& commentUtf8, const std::string& path,
                        std::string& message) {
    if (!from.model || !from.model->firstSession) {
        message = "no disc is loaded";
        return false;
    }
    Catalogue cat;
    if (!cat.Open(path.empty() ? App_CataloguePath() : path, true, message))
        return false;
    cat.StopWhen(from.stop);
    CatalogueDisc disc;
    Cat_LoadedDisc(from, disc);
    disc.number = number;
    disc.comment = commentUtf8;
    // Where it was read from: the image file, or the drive's device.
    if (const DeviceEntry* d = Aspi_GetDevice(from.model->device)) {
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
    // Files up to CATALOGUE_HASH_MIB (64 by default; 0: none) get a content hash, which finds their copies.
    const std::string mib = Report_ReadProfileValue(Report_ProfilePath(), "CATALOGUE_HASH_MIB");
    uint64_t hashUpTo = kCatHashUpTo;
    if (!mib.empty() && mib.size() <= 6 && mib.find_first_not_of("0123456789") == std::string::npos)
        hashUpTo = std::stoull(mib) << 20;
    const auto walk = [&from, hashUpTo](const std::function<void(CatalogueEntry&)>& put) {
        Cat_EachLoadedEntry(from, put, hashUpTo);
    };
    if (!cat.Add(disc, walk, take, &used, &updated, &entries, message))
        return false;
    message = (updated ? "updated disc " : "added disc ") + std::to_string(used) + " (" + disc.volume + ", " +
              std::to_string(entries) + " entries) in " + cat.Path();
    return true;
}

CatalogueAddJob::CatalogueAddJob(uint16_t device, int number, std::string commentUtf8, std::string path)
    : m_device(device), m_number(number), m_comment(std::move(commentUtf8)), m_path(std::move(path)) {
    m_job = std::make_unique<BackgroundJob>([this](BackgroundJob::Control& control) {
        Disc disc;
        disc.stop = &control.CancelFlag();
        const int rc = disc.Analyze(m_device);
        if (rc != ISO_OK)
            m_message = control.Cancelled() ? "the add was cancelled" : App_LoadFailureReason(m_device, rc);
        else
            m_added = App_AddToCatalogue(disc, m_number, m_comment, m_path, m_message);
    });
}

bool CatalogueAddJob::Added() {
    m_job->Wait();
    return m_added && m_job->Failure().empty();
}

const std::string& CatalogueAddJob::Message() {
    m_job->Wait();
    if (!m_job->Failure().empty())
        m_message = m_job->Failure();
    return m_message;
}
