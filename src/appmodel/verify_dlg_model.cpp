#include "appmodel/verify_dlg_model.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "platform/text/grouped_number.h"
#include "res/app_strings.h"

using ckvd::text::grouped;

namespace {

// How often the worker hands the window a new view: the window's timer takes it at about the same rate.
constexpr auto kViewEvery = std::chrono::milliseconds(100);

} // namespace

CVerifyDlgModel::CVerifyDlgModel(ckvd::ui::MessageSink& sink)
    : m_sink(sink), m_view(std::make_shared<View>()) {}

CVerifyDlgModel::~CVerifyDlgModel() = default;

bool CVerifyDlgModel::Start() {
    if (!g_DiscModel || !g_DiscModel->firstSession) {
        m_sink.Show(IDS_NO_DISC);
        return false;
    }
    m_disc = Iso_ShareCurrentDisc();
    m_device = g_DiscModel->device;
    if (!ShowPlanFailure(m_verify.Start(*m_disc, m_device)))
        return false;
    m_started = true;
    m_damaged = Verify_DamagedEntries(*m_disc);
    m_view = MakeView();
    return true;
}

bool CVerifyDlgModel::StartOnWorker() {
    if (!g_DiscModel || !g_DiscModel->firstSession) {
        m_sink.Show(IDS_NO_DISC);
        return false;
    }
    m_disc = Iso_ShareCurrentDisc();
    m_device = g_DiscModel->device;
    m_started = true;
    m_view = std::make_shared<View>(); // nothing planned yet: "Reading" with no blocks
    m_job = std::make_unique<BackgroundJob>([this](BackgroundJob::Control& control) { Work(control); });
    return true;
}

void CVerifyDlgModel::Work(BackgroundJob::Control& control) {
    // Cancel (Stop, the window closed) ends the verify before its next step: a read or two.
    m_verify.StopWhen(&control.CancelFlag());
    m_plan = m_verify.Start(*m_disc, m_device);
    if (m_plan != 1)
        return;
    m_damaged = Verify_DamagedEntries(*m_disc);
    Publish();
    auto next = std::chrono::steady_clock::now() + kViewEvery;
    while (m_verify.Step()) {
        if (std::chrono::steady_clock::now() >= next) {
            Publish();
            next = std::chrono::steady_clock::now() + kViewEvery;
        }
    }
    Publish();
}

void CVerifyDlgModel::Publish() {
    std::shared_ptr<const View> view = MakeView();
    std::lock_guard lock(m_mutex);
    m_published = std::move(view);
}

bool CVerifyDlgModel::Poll() {
    std::string failure;
    if (!m_job || BackgroundJob_TakeView(m_job, m_mutex, m_published, m_view, failure))
        return m_job != nullptr;
    m_verify.StopWhen(nullptr); // the flag goes with the job
    if (m_plan != 1) {
        m_started = false;
        ShowPlanFailure(m_plan);
    } else if (!failure.empty()) {
        // Work cut short (no memory): what was read stands as if stopped there, never as a verdict.
        auto stopped = std::make_shared<View>(*m_view);
        stopped->stopped = true;
        stopped->summary.clear();
        m_view = std::move(stopped);
        m_sink.ShowUtf8("The verify stopped early.\n" + failure);
    }
    return false;
}

void CVerifyDlgModel::RunToEnd() {
    if (m_job) {
        m_job->Wait();
        Poll();
        return;
    }
    while (m_verify.Step()) {
    }
    m_view = MakeView();
}

void CVerifyDlgModel::Stop() {
    m_stopAsked = true;
    if (m_job) {
        m_job->Cancel();
        return;
    }
    m_verify.Stop();
    m_view = MakeView();
}

bool CVerifyDlgModel::ShowPlanFailure(int rc) {
    if (rc == 1)
        return true;
    char text[64];
    std::snprintf(text, sizeof text, "The TOC could not be read.\nCode %04X", static_cast<unsigned>(rc));
    m_sink.ShowUtf8(text);
    return false;
}

std::shared_ptr<const CVerifyDlgModel::View> CVerifyDlgModel::MakeView() {
    auto v = std::make_shared<View>();
    v->done = m_verify.Done();
    v->total = m_verify.Total();
    v->stopped = m_verify.Stopped();
    v->finished = m_verify.Finished();
    v->tracks = m_verify.Tracks();
    v->layout = Verify_MapLayout(v->total);
    v->cells = Verify_MapCells(m_verify, v->layout);
    const std::vector<VerifyRange> ranges = m_verify.Ranges();
    v->ranges = ranges.size();
    v->damaged = m_damaged.size();
    for (const VerifyRange& r : ranges) {
        const std::string blocks = Verify_BlockSpan(r.first, r.count);
        const std::string damage = std::string(Verify_StateName(r.state)) + ": " + r.reason;
        const std::vector<VerifyHit> hits = m_verify.Hits(r);
        for (const VerifyHit& h : hits)
            v->rows.push_back({Verify_HitName(h.session, h.path, h.type), blocks, damage, h.session, h.path});
        if (hits.empty()) // damage in no file: the blocks themselves
            v->rows.push_back({"(no file)", blocks, damage, 0, {}});
    }
    // What the disc analysis could not read: the entry's own extent.
    for (const VerifyDamagedEntry& d : m_damaged) {
        const uint64_t blocks = d.entry ? std::max<uint64_t>((uint64_t{d.entry->size} + 2047) / 2048, 1) : 0;
        v->rows.push_back({Verify_HitName(d.session, d.path, d.type),
                           blocks ? Verify_BlockSpan(d.entry->lbn, blocks) : std::string(),
                           "unreadable: " + d.reason, d.session, d.path});
    }
    if (v->stopped || v->finished)
        v->summary = Verify_Summary(m_verify, ranges, m_damaged);
    return v;
}

std::string CVerifyDlgModel::StatusText() const {
    if (!m_started)
        return "Not started";
    const View& v = *m_view;
    const uint64_t percent = v.done * 100 / std::max<uint64_t>(v.total, 1);
    const std::string where =
        grouped(v.done) + " of " + grouped(v.total) + " blocks (" + std::to_string(percent) + " %)";
    if (Running())
        return "Reading: " + where;
    if (v.stopped && !v.finished)
        return "Stopped after " + where + (v.rows.empty() ? "; no damage so far" : "; damage so far below");
    if (!Sound())
        return "The disc is damaged: the entries below are hit";
    // Sound as far as it was checked: only whole sectors carry the codes that tell a sector's bytes right.
    size_t sectors = 0;
    for (const VerifyTrack& t : v.tracks)
        sectors += t.check == VerifyCheck::Sectors ? 1 : 0;
    const size_t withoutCodes =
        static_cast<size_t>(std::count_if(v.tracks.begin(), v.tracks.end(), [](const VerifyTrack& t) {
            return t.check == VerifyCheck::NoErrorCodes;
        }));
    if (withoutCodes > 0)
        return "No damage found: every block was read; the drive gives no EDC/ECC, so " +
               Verify_Count(withoutCodes, "track's", "tracks'") + " sectors had their headers checked only";
    if (sectors > 0 && sectors == v.tracks.size())
        return "The disc is sound: every block was read and every sector checked";
    if (sectors > 0)
        return "No damage found: every block was read, the sectors of " +
               Verify_Count(sectors, "track", "tracks") + " of " + std::to_string(v.tracks.size()) +
               " checked";
    return "No damage found: every block was read (no whole sectors to check)";
}

std::string CVerifyDlgModel::CheckedText() const {
    // A line a track as ckvd verify prints it; a disc of many tracks gets a line a kind of check instead.
    constexpr size_t kTrackLines = 4;
    const std::vector<VerifyTrack>& tracks = m_view->tracks;
    std::string text;
    if (tracks.size() <= kTrackLines) {
        for (const VerifyTrack& t : tracks)
            if (t.check != VerifyCheck::Pending)
                text += (text.empty() ? "" : "\n") + Verify_TrackLine(t);
        return text;
    }
    static const char* const kChecks[] = {"not read yet", "whole sectors checked (sync, header, EDC, ECC)",
                                          "user data read (no whole sectors to check)", "audio read",
                                          kNoErrorCodesCheck};
    size_t counts[std::size(kChecks)] = {};
    for (const VerifyTrack& t : tracks)
        ++counts[static_cast<size_t>(t.check)];
    for (size_t c = 1; c < std::size(kChecks); ++c)
        if (counts[c])
            text +=
                (text.empty() ? "" : "\n") + Verify_Count(counts[c], "track", "tracks") + ": " + kChecks[c];
    return text;
}

bool CVerifyDlgModel::NoErrorCodes() const {
    return m_started && std::any_of(m_view->tracks.begin(), m_view->tracks.end(), [](const VerifyTrack& t) {
               return t.check == VerifyCheck::NoErrorCodes;
           });
}

bool CVerifyDlgModel::Sound() const {
    return m_started && m_view->finished && m_view->ranges == 0 && m_view->damaged == 0;
}

VerifyPicture CVerifyDlgModel::Picture(uint32_t cell) const {
    return Verify_MapPicture(m_view->cells, m_view->layout, cell);
}
