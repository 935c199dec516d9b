#include "appmodel/verify_dlg_model.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "iso9660/iso9660.h"
#include "platform/text/grouped_number.h"
#include "res/app_strings.h"

using ckvd::text::grouped;

bool CVerifyDlgModel::Start() {
    if (!g_DiscModel || !g_DiscModel->firstSession) {
        m_sink.Show(IDS_NO_DISC);
        return false;
    }
    const int rc = m_verify.Start(g_DiscModel->device);
    if (rc != 1) {
        char text[64];
        std::snprintf(text, sizeof text, "The TOC could not be read.\nCode %04X", static_cast<unsigned>(rc));
        m_sink.ShowUtf8(text);
        return false;
    }
    m_started = true;
    m_damaged = Verify_DamagedEntries();
    RefreshRows();
    return true;
}

bool CVerifyDlgModel::Step(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    bool more = true;
    while (more && std::chrono::steady_clock::now() < until)
        more = m_verify.Step();
    return more && !m_verify.Stopped();
}

void CVerifyDlgModel::RunToEnd() {
    while (m_verify.Step()) {
    }
    RefreshRows();
}

std::string CVerifyDlgModel::StatusText() const {
    if (!m_started)
        return "Not started";
    const uint64_t percent = m_verify.Done() * 100 / std::max<uint64_t>(m_verify.Total(), 1);
    const std::string where = grouped(m_verify.Done()) + " of " + grouped(m_verify.Total()) + " blocks (" +
                              std::to_string(percent) + " %)";
    if (Running())
        return "Reading: " + where;
    if (m_verify.Stopped() && !m_verify.Finished())
        return "Stopped after " + where + (m_rows.empty() ? "; no damage so far" : "; damage so far below");
    if (!Sound())
        return "The disc is damaged: the entries below are hit";
    // Sound as far as it was checked: only whole sectors carry the codes that tell a sector's bytes right.
    size_t sectors = 0;
    for (const VerifyTrack& t : m_verify.Tracks())
        sectors += t.check == VerifyCheck::Sectors ? 1 : 0;
    if (sectors > 0 && sectors == m_verify.Tracks().size())
        return "The disc is sound: every block was read and every sector checked";
    if (sectors > 0)
        return "No damage found: every block was read, the sectors of " +
               Verify_Count(sectors, "track", "tracks") + " of " + std::to_string(m_verify.Tracks().size()) +
               " checked";
    return "No damage found: every block was read (no whole sectors to check)";
}

std::string CVerifyDlgModel::CheckedText() const {
    // A line a track as ckvd verify prints it; a disc of many tracks gets a line a kind of check instead.
    constexpr size_t kTrackLines = 4;
    const std::vector<VerifyTrack>& tracks = m_verify.Tracks();
    std::string text;
    if (tracks.size() <= kTrackLines) {
        for (const VerifyTrack& t : tracks)
            if (t.check != VerifyCheck::Pending)
                text += (text.empty() ? "" : "\n") + Verify_TrackLine(t);
        return text;
    }
    static const char* const kChecks[] = {"not read yet", "whole sectors checked (sync, header, EDC, ECC)",
                                          "user data read (no whole sectors to check)", "audio read"};
    size_t counts[std::size(kChecks)] = {};
    for (const VerifyTrack& t : tracks)
        ++counts[static_cast<size_t>(t.check)];
    for (size_t c = 1; c < std::size(kChecks); ++c)
        if (counts[c])
            text +=
                (text.empty() ? "" : "\n") + Verify_Count(counts[c], "track", "tracks") + ": " + kChecks[c];
    return text;
}

std::string CVerifyDlgModel::SummaryText() const {
    return Running() || !m_started ? std::string() : Verify_Summary(m_verify, m_ranges, m_damaged);
}

bool CVerifyDlgModel::Sound() const {
    return m_started && m_verify.Finished() && m_ranges.empty() && m_damaged.empty();
}

void CVerifyDlgModel::RefreshRows() {
    m_ranges = m_verify.Ranges();
    m_rows.clear();
    for (const VerifyRange& r : m_ranges) {
        const std::string blocks = Verify_BlockSpan(r.first, r.count);
        const std::string damage = std::string(Verify_StateName(r.state)) + ": " + r.reason;
        const std::vector<VerifyHit> hits = m_verify.Hits(r);
        for (const VerifyHit& h : hits)
            m_rows.push_back({Verify_HitName(h.session, h.path, h.type), blocks, damage, h.session, h.path});
        if (hits.empty()) // damage in no file: the blocks themselves
            m_rows.push_back({"(no file)", blocks, damage, 0, {}});
    }
    // What the disc analysis could not read: the entry's own extent.
    for (const VerifyDamagedEntry& d : m_damaged) {
        const uint64_t blocks = d.entry ? std::max<uint64_t>((uint64_t{d.entry->size} + 2047) / 2048, 1) : 0;
        m_rows.push_back({Verify_HitName(d.session, d.path, d.type),
                          blocks ? Verify_BlockSpan(d.entry->lbn, blocks) : std::string(),
                          "unreadable: " + d.reason, d.session, d.path});
    }
}

VerifyPicture CVerifyDlgModel::Picture(uint32_t cell) const {
    const VerifyMapLayout layout = Verify_MapLayout(m_verify.Total());
    return Verify_MapPicture(Verify_MapCells(m_verify, layout), layout, cell);
}
