#include "report/report_number.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

constexpr const char* kSection = "[CkvdExplorer Settings]";
constexpr const char* kKey = "DISCMNGRNO";

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    const size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The line of the key inside the section, or the lines' count; `sectionEnd` is where a new key would go.
size_t FindKey(const std::vector<std::string>& lines, size_t* sectionEnd, const char* key = kKey) {
    bool inSection = false;
    *sectionEnd = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        if (!line.empty() && line.front() == '[') {
            if (inSection) {
                *sectionEnd = i;
                return lines.size();
            }
            inSection = line == kSection;
            continue;
        }
        const size_t eq = line.find('=');
        if (inSection && eq != std::string::npos && Trim(line.substr(0, eq)) == key)
            return i;
    }
    if (!inSection)
        *sectionEnd = SIZE_MAX; // no section yet
    return lines.size();
}

} // namespace

std::string Report_XdgDirectory(const char* variable, const char* underHome) {
    const char* set = std::getenv(variable);
    if (set && *set)
        return set;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/" + underHome;
}

std::string Report_ProfilePath() {
    return Report_XdgDirectory("XDG_CONFIG_HOME", ".config") + "/ckvd-explorer/profile.ini";
}

std::string Report_ReadProfileValue(const std::string& profilePath, const char* key) {
    const std::vector<std::string> lines = ReadLines(profilePath);
    size_t sectionEnd = 0;
    const size_t at = FindKey(lines, &sectionEnd, key);
    return at < lines.size() ? Trim(lines[at].substr(lines[at].find('=') + 1)) : std::string();
}

int Report_ReadNumber(const std::string& profilePath) {
    const std::vector<std::string> lines = ReadLines(profilePath);
    size_t sectionEnd = 0;
    const size_t at = FindKey(lines, &sectionEnd);
    if (at >= lines.size())
        return 0;
    const std::string value = Trim(lines[at].substr(lines[at].find('=') + 1));
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (end == value.c_str() || *end != '\0' || errno == ERANGE || n < INT32_MIN || n > INT32_MAX)
        return 0;
    return int(n);
}

bool Report_WriteNumber(const std::string& profilePath, int number, std::string* error) {
    std::vector<std::string> lines = ReadLines(profilePath);
    const std::string entry = std::string(kKey) + "=" + std::to_string(number);
    size_t sectionEnd = 0;
    const size_t at = FindKey(lines, &sectionEnd);
    if (at < lines.size()) {
        lines[at] = entry;
    } else if (sectionEnd == SIZE_MAX) {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.emplace_back();
        lines.emplace_back(kSection);
        lines.push_back(entry);
    } else {
        // After the section's last value, before the blank lines that set off the next section.
        size_t pos = sectionEnd;
        while (pos > 0 && Trim(lines[pos - 1]).empty())
            --pos;
        lines.insert(lines.begin() + std::ptrdiff_t(pos), entry);
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(profilePath).parent_path(), ec);
    const std::string temp = profilePath + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines)
            out << line << '\n';
        out.flush();
        if (!out) {
            if (error)
                *error = std::string("cannot write ") + temp + ": " + std::strerror(errno);
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, profilePath, ec);
    if (ec) {
        if (error)
            *error = "cannot replace " + profilePath + ": " + ec.message();
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

namespace {

// An exclusive advisory lock on "<profile>.numberlock" for the life of the object. The profile itself is
// replaced by a rename on every write, so a lock on it would be a lock on a file nobody opens next; the
// lock file stays. A holder that never lets go (a stopped process) is waited for at most five seconds.
class NumberLock {
  public:
    explicit NumberLock(const std::string& profilePath) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(profilePath).parent_path(), ec);
        const std::string path = profilePath + ".numberlock";
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            m_error = "cannot lock " + path + ": " + std::strerror(errno);
            return;
        }
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_locked = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_error = "cannot lock " + path + ": " +
                  (errno == EWOULDBLOCK ? "another program holds it" : std::strerror(errno));
    }
    ~NumberLock() {
        if (m_fd >= 0)
            ::close(m_fd); // closing lets go of the lock
    }
    NumberLock(const NumberLock&) = delete;
    NumberLock& operator=(const NumberLock&) = delete;
    bool Locked() const { return m_locked; }
    const std::string& Error() const { return m_error; }

  private:
    int m_fd = -1;
    bool m_locked = false;
    std::string m_error;
};

} // namespace

int Report_NextNumber(int used) {
    return used == INT_MAX ? used : used + 1;
}

bool Report_TakeNumber(const std::string& profilePath, int wanted, bool orStored, int* used, int* stored,
                       std::string* error) {
    NumberLock lock(profilePath);
    if (!lock.Locked()) {
        if (error)
            *error = lock.Error();
        return false;
    }
    const int before = Report_ReadNumber(profilePath);
    const int number = orStored ? std::max(wanted, before) : wanted;
    if (!Report_WriteNumber(profilePath, Report_NextNumber(number), error))
        return false;
    if (used)
        *used = number;
    if (stored)
        *stored = before;
    return true;
}

void Report_ReturnNumber(const std::string& profilePath, int used, int stored) {
    NumberLock lock(profilePath);
    if (lock.Locked() && Report_ReadNumber(profilePath) == Report_NextNumber(used))
        Report_WriteNumber(profilePath, stored, nullptr);
}
