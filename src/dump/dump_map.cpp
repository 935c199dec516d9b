// The dump's map as text, read back with every number checked against the plan.
#include "dump/dump_map.h"
#include "platform/bytes/write_all.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace {

constexpr const char* kMagic = "ckvd-dump-map";
constexpr const char* kVersion = "1";
constexpr const char* kStates[] = {"not-tried", "read", "retried", "unreadable"};

// Each run of one state whose blocks follow one another on the disc, in plan order.
template <typename F> void EachRun(const DumpPlan& plan, const std::vector<uint8_t>& states, F&& run) {
    uint64_t first = 0;
    for (uint64_t at = 1; at <= plan.total; ++at) {
        if (at < plan.total && states[at] == states[first] &&
            Dump_Lba(plan, at) == Dump_Lba(plan, at - 1) + 1)
            continue;
        run(Dump_Lba(plan, first), Dump_Lba(plan, at - 1), states[first]);
        first = at;
    }
}

std::string Header(const DumpPlan& plan) {
    return std::string(kMagic) + " " + kVersion + " disc=" + plan.identity +
           " sector=" + std::to_string(plan.sectorBytes) + " blocks=" + std::to_string(plan.total);
}

// "FIRST-LAST STATE" into its parts; false for anything else.
bool ParseLine(const std::string& line, uint32_t& first, uint32_t& last, uint8_t& state) {
    const size_t dash = line.find('-'), space = line.find(' ');
    if (dash == std::string::npos || space == std::string::npos || dash > space)
        return false;
    const auto number = [](const std::string& text, uint32_t& n) {
        if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const unsigned long long v = std::stoull(text);
        n = static_cast<uint32_t>(v);
        return v <= UINT32_MAX;
    };
    if (!number(line.substr(0, dash), first) || !number(line.substr(dash + 1, space - dash - 1), last) ||
        last < first)
        return false;
    const std::string name = line.substr(space + 1);
    for (uint8_t s = 0; s < std::size(kStates); ++s)
        if (name == kStates[s]) {
            state = s;
            return true;
        }
    return false;
}

// Marks blocks [first, last] of the plan in `state`; false when one of them is not planned.
bool MarkRange(const DumpPlan& plan, uint32_t first, uint32_t last, uint8_t state,
               std::vector<uint8_t>& states) {
    uint64_t covered = 0;
    for (const DumpTrack& t : plan.tracks) {
        const uint64_t from = std::max<uint64_t>(first, t.start),
                       to = std::min<uint64_t>(last, t.start + uint64_t{t.blocks} - 1);
        if (t.blocks == 0 || from > to)
            continue;
        std::fill(states.begin() + static_cast<long>(t.at + (from - t.start)),
                  states.begin() + static_cast<long>(t.at + (to - t.start) + 1), state);
        covered += to - from + 1;
    }
    return covered == uint64_t{last} - first + 1;
}

} // namespace

const char* Dump_StateName(uint8_t state) {
    return state < std::size(kStates) ? kStates[state] : "?";
}

std::string Dump_MapText(const DumpPlan& plan, const std::vector<uint8_t>& states) {
    std::string text = Header(plan) + "\n";
    EachRun(plan, states, [&](uint32_t first, uint32_t last, uint8_t state) {
        text += std::to_string(first) + "-" + std::to_string(last) + " " + Dump_StateName(state) + "\n";
    });
    return text;
}

bool Dump_ParseMap(const std::string& text, const DumpPlan& plan, std::vector<uint8_t>& states,
                   std::string& why) {
    states.assign(plan.total, DUMP_NOT_TRIED);
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    std::istringstream head(line);
    std::string magic, version;
    head >> magic >> version;
    if (magic != kMagic || version != kVersion) {
        why = "it is no map of ckvd dump (format " + std::string(kVersion) + ")";
        return false;
    }
    if (line != Header(plan)) {
        why = "it is the map of another disc or image type (" + line + "), not of this disc (" +
              Header(plan) + ")";
        return false;
    }
    for (int number = 2; std::getline(in, line); ++number) {
        uint32_t first = 0, last = 0;
        uint8_t state = 0;
        if (!ParseLine(line, first, last, state)) {
            why = "line " + std::to_string(number) + " is no \"FIRST-LAST STATE\"";
            return false;
        }
        if (!MarkRange(plan, first, last, state, states)) {
            why = "line " + std::to_string(number) + " names blocks the disc's tracks do not hold";
            return false;
        }
    }
    return true;
}

bool Dump_WriteMap(const std::string& path, const DumpPlan& plan, const std::vector<uint8_t>& states,
                   std::string& why) {
    const std::string text = Dump_MapText(plan, states), temp = path + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int error = fd >= 0 ? bytes::WriteAll(fd, text.data(), text.size()) : errno;
    if (!error && ::fdatasync(fd) != 0)
        error = errno;
    bool ok = !error;
    if (!ok)
        why = "cannot write " + temp + ": " + std::strerror(error);
    if (fd >= 0)
        ::close(fd);
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        why = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
        ok = false;
    }
    return ok;
}

std::vector<std::string> Dump_UnreadableRuns(const DumpPlan& plan, const std::vector<uint8_t>& states) {
    std::vector<std::string> runs;
    EachRun(plan, states, [&](uint32_t first, uint32_t last, uint8_t state) {
        if (state == DUMP_UNREADABLE)
            runs.push_back(first == last ? std::to_string(first)
                                         : std::to_string(first) + "-" + std::to_string(last));
    });
    return runs;
}
