// The loaded disc into the disc catalogue, after a report is written and from File > Add to Catalogue: the
// catalogue the profile names (CATALOGUE=) or the default one; a failure says why and changes nothing else.
// The window's add runs on a worker (CatalogueAddJob) that reads the disc into a Disc of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "appmodel/background_job.h"

class Disc;

// CATALOGUE of the profile, else $XDG_DATA_HOME/ckvd-explorer/catalogue.sqlite; the file App_UseCatalogue
// named, where it did (screenshots that make a catalogue of their own).
std::string App_CataloguePath();
void App_UseCatalogue(const std::string& path);
// Adds or updates `disc` under `number` (-1: the disc's number in the catalogue, else the next management
// number) in the catalogue at `path` (App_CataloguePath() when empty). True with "added disc 12 (VOLUME, 45
// entries) in PATH" in `message`, else false with the reason. The form without a Disc adds the loaded one.
bool App_AddToCatalogue(Disc& disc, int number, const std::string& commentUtf8, const std::string& path,
                        std::string& message);
bool App_AddToCatalogue(int number, const std::string& commentUtf8, const std::string& path,
                        std::string& message);

// An add on a worker: the disc in `device` read into a Disc of its own (whatever the window shows meanwhile),
// then added as App_AddToCatalogue adds it. Cancel stops the read or the add; the catalogue then takes
// nothing of the disc.
class CatalogueAddJob {
  public:
    CatalogueAddJob(uint16_t device, int number, std::string commentUtf8, std::string path);

    bool Finished() const { return m_job->Finished(); }
    void Cancel() { m_job->Cancel(); }
    void Wait() { m_job->Wait(); }
    // After Finished: whether the disc was added, and the message (App_AddToCatalogue's, or why the disc
    // could not be read).
    bool Added();
    const std::string& Message();

  private:
    uint16_t m_device;
    int m_number;
    std::string m_comment, m_path, m_message;
    bool m_added = false;
    std::unique_ptr<BackgroundJob> m_job; // last: joined before the rest goes
};
