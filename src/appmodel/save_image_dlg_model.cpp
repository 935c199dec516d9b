#include "appmodel/save_image_dlg_model.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "iso9660/iso9660.h"
#include "platform/text/grouped_number.h"
#include "res/app_strings.h"
#include "res/version.h"
#include "verify/disc_verify.h"

using ckvd::text::grouped;

namespace {

// How often the worker hands the window a new view: the window's timer takes it at about the same rate.
constexpr auto kViewEvery = std::chrono::milliseconds(100);

// A dump's block in the verify map's colours.
uint8_t MapState(uint8_t state) {
    switch (state) {
    case DUMP_READ:
    case DUMP_RETRIED:
        return VERIFY_READABLE;
    case DUMP_UNREADABLE:
        return VERIFY_UNREADABLE;
    default:
        return VERIFY_NOT_READ;
    }
}

} // namespace

CSaveImageDlgModel::CSaveImageDlgModel(ckvd::ui::MessageSink& sink)
    : m_sink(sink), m_view(std::make_shared<View>()) {}

CSaveImageDlgModel::~CSaveImageDlgModel() = default;

std::string CSaveImageDlgModel::ProposedName() {
    bool iso = g_DiscModel && g_DiscModel->sessionCount == 1;
    for (const SessionEntry* s = g_DiscModel ? g_DiscModel->firstSession : nullptr; s; s = s->next)
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            iso = iso && !Iso_IsAudioTrack(t);
    return iso ? "disc.iso" : "disc.cue";
}

bool CSaveImageDlgModel::Start(const std::string& out, bool here) {
    if (!g_DiscModel || !g_DiscModel->firstSession) {
        m_sink.Show(IDS_NO_DISC);
        return false;
    }
    m_job.reset(); // a run before this one has ended: its worker is joined
    m_device = g_DiscModel->device;
    m_out = out;
    m_dump = std::make_unique<DumpJob>();
    m_published.reset();
    m_started = true;
    m_view = std::make_shared<View>();
    m_job =
        std::make_unique<BackgroundJob>([this](BackgroundJob::Control& control) { Work(control); },
                                        here ? BackgroundJob::Where::Here : BackgroundJob::Where::OwnThread);
    if (here)
        Poll();
    return true;
}

std::shared_ptr<CSaveImageDlgModel::View> CSaveImageDlgModel::MakeView() const {
    auto v = std::make_shared<View>();
    const std::vector<uint8_t>& states = m_dump->Reader().States();
    v->total = states.size();
    v->done = static_cast<uint64_t>(
        std::count_if(states.begin(), states.end(), [](uint8_t s) { return s != DUMP_NOT_TRIED; }));
    v->layout = Verify_MapLayout(v->total);
    v->cells = Verify_MapCellsOf(
        v->total, [&states](uint64_t i) { return MapState(states[i]); }, v->layout);
    return v;
}

void CSaveImageDlgModel::Publish(std::shared_ptr<View> view) {
    std::lock_guard lock(m_mutex);
    m_published = std::move(view);
}

void CSaveImageDlgModel::Work(BackgroundJob::Control& control) {
    std::string why;
    const int rc = m_dump->Prepare(m_device, m_out, why);
    if (rc != 1) {
        auto v = std::make_shared<View>();
        char code[48];
        std::snprintf(code, sizeof code, "The TOC could not be read.\nCode %04X", static_cast<unsigned>(rc));
        v->failure = rc == 0 ? why : code;
        v->ended = true;
        Publish(v);
        return;
    }
    Publish(MakeView());
    auto next = std::chrono::steady_clock::now() + kViewEvery;
    const auto progress = [&](uint64_t, uint64_t) {
        if (std::chrono::steady_clock::now() < next)
            return;
        Publish(MakeView());
        next = std::chrono::steady_clock::now() + kViewEvery;
    };
    // A stopped dump keeps what it read, its map, sheet and log: a later run goes on from there.
    const bool read = m_dump->Read(0, progress, &control.CancelFlag(), why);
    std::shared_ptr<View> v = MakeView();
    v->ended = true;
    if (!read || !m_dump->Finish("ckvd-explorer (CKVD Explorer) " CKVD_VERSION, why)) {
        v->failure = why;
        Publish(v);
        return;
    }
    const DumpCounts c = m_dump->Counts();
    const std::vector<std::string> faults = m_dump->Faults();
    v->complete = faults.empty();
    v->result = grouped(c.blocks) + " blocks, " + grouped(c.read) + " read now, " + grouped(c.unreadable) +
                " unreadable; " + grouped(m_dump->Check().verified) + " sectors verified, " +
                grouped(m_dump->Check().synthesised) + " made up by the drive, " +
                grouped(m_dump->Check().corrupt) + " corrupt\nImage: " + m_out +
                "\nMap: " + m_dump->MapPath() + "\nLog: " + m_dump->LogPath();
    for (const std::string& fault : faults)
        v->result += "\n" + fault;
    Publish(v);
}

bool CSaveImageDlgModel::Poll() {
    std::string failure;
    if (!m_job || BackgroundJob_TakeView(m_job, m_mutex, m_published, m_view, failure))
        return m_job != nullptr;
    if (!m_view->ended || !failure.empty()) { // work cut short (no memory): never shown as an outcome
        auto v = std::make_shared<View>(*m_view);
        v->ended = true;
        v->failure = "The dump stopped early." + (failure.empty() ? std::string() : "\n" + failure);
        m_view = v;
    }
    if (!m_view->failure.empty())
        m_sink.ShowUtf8(m_view->failure);
    return false;
}

void CSaveImageDlgModel::Stop() {
    if (m_job)
        m_job->Cancel();
}

std::string CSaveImageDlgModel::StatusText() const {
    if (!m_started)
        return "Choose the image file: .iso for the user data of a data disc, .cue for whole sectors of "
               "every track";
    const View& v = *m_view;
    if (!v.failure.empty())
        return "Not saved: " + v.failure;
    const uint64_t percent = v.done * 100 / std::max<uint64_t>(v.total, 1);
    const std::string where =
        grouped(v.done) + " of " + grouped(v.total) + " blocks (" + std::to_string(percent) + " %)";
    if (!v.ended)
        return "Reading: " + where;
    if (v.complete)
        return "The image is complete: every block was read";
    return "The image is incomplete: " + where + " tried; see below";
}

VerifyPicture CSaveImageDlgModel::Picture(uint32_t cell) const {
    return Verify_MapPicture(m_view->cells, m_view->layout, cell);
}
