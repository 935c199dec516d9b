// libpq under the PostgreSQL catalogue: connecting, binary parameters and results, COPY, failures in words.
#include "catalogue/postgres_connection.h"

#include "catalogue/libpq_loader.h"

namespace cat_pg {

namespace {

// A server's or libpq's message on one line: its lines trimmed and joined.
std::string OneLine(const char* message) {
    std::string out, line;
    for (const char* p = message ? message : "";; ++p) {
        if (*p == '\n' || *p == '\0') {
            const size_t first = line.find_first_not_of(" \t\r");
            if (first != std::string::npos) {
                const size_t last = line.find_last_not_of(" \t\r");
                out += (out.empty() ? "" : " ") + line.substr(first, last - first + 1);
            }
            line.clear();
            if (*p == '\0')
                break;
        } else {
            line += *p;
        }
    }
    return out.empty() ? "the server gave no reason" : out;
}

// Only a connection that opened calls through it: Connection::Open loads the library first.
const LibPq& Pq() {
    std::string ignored;
    return *LibPq_Load(ignored);
}

void Quiet(void*, const char*) {} // the server's notices ("already exists, skipping") are not the user's

} // namespace

std::string ShownUri(const std::string& uri) {
    const size_t scheme = uri.find("://");
    if (scheme == std::string::npos)
        return uri;
    const size_t start = scheme + 3;
    const size_t end = std::min(uri.find_first_of("/?", start), uri.size());
    std::string shown = uri.substr(0, start);
    const size_t at = uri.rfind('@', end - 1);
    if (at != std::string::npos && at >= start && at < end) {
        const size_t colon = uri.find(':', start);
        shown += uri.substr(start, (colon < at ? colon : at) - start) + "@";
        shown += uri.substr(at + 1, end - at - 1);
    } else {
        shown += uri.substr(start, end - start);
    }
    // The query's parameters but a password.
    const size_t query = uri.find('?', end);
    shown += uri.substr(end, std::min(query, uri.size()) - end);
    if (query == std::string::npos)
        return shown;
    std::string kept;
    for (size_t p = query + 1; p <= uri.size();) {
        const size_t amp = std::min(uri.find('&', p), uri.size());
        const std::string param = uri.substr(p, amp - p);
        if (!param.empty() && param.rfind("password=", 0) != 0)
            kept += (kept.empty() ? "?" : "&") + param;
        p = amp + 1;
    }
    return shown + kept;
}

Params& Params::Int(int64_t v) {
    std::string b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[size_t(i)] = char(uint64_t(v) >> (56 - 8 * i));
    return Add(20, b);
}

Params& Params::Add(unsigned type, std::string_view v) {
    m_types.push_back(type);
    m_values.emplace_back(v);
    m_lengths.push_back(int(v.size()));
    m_formats.push_back(1);
    return *this;
}

std::vector<const char*> Params::Values() const {
    std::vector<const char*> values;
    for (const std::string& v : m_values)
        values.push_back(v.data());
    return values;
}

Result::~Result() {
    if (m_r)
        Pq().PQclear(m_r);
}

Result& Result::operator=(Result&& o) noexcept {
    if (this != &o) {
        if (m_r)
            Pq().PQclear(m_r);
        m_r = o.m_r;
        o.m_r = nullptr;
    }
    return *this;
}

int Result::Rows() const {
    return m_r ? Pq().PQntuples(m_r) : 0;
}

bool Result::Null(int row, int column) const {
    return Pq().PQgetisnull(m_r, row, column) != 0;
}

std::string_view Result::Bytes(int row, int column) const {
    return {Pq().PQgetvalue(m_r, row, column), size_t(Pq().PQgetlength(m_r, row, column))};
}

int64_t Result::Int(int row, int column) const {
    const std::string_view b = Bytes(row, column);
    if (b.size() != 2 && b.size() != 4 && b.size() != 8)
        return 0;
    uint64_t v = (static_cast<unsigned char>(b[0]) & 0x80) ? ~uint64_t(0) : 0; // the sign carried up
    for (char c : b)
        v = v << 8 | static_cast<unsigned char>(c);
    return int64_t(v);
}

Connection::~Connection() {
    if (m_conn)
        Pq().PQfinish(m_conn);
}

bool Connection::Open(const std::string& uri, std::string& error) {
    m_shown = ShownUri(uri);
    if (!LibPq_Load(error)) {
        error = m_shown + ": " + error;
        return false;
    }
    // What the URI does not say first, so that it may override them; the encoding last, so that it does not.
    const char* keys[] = {"connect_timeout", "fallback_application_name", "dbname", "client_encoding",
                          nullptr};
    const char* values[] = {"10", "ckvd-explorer", uri.c_str(), "UTF8", nullptr};
    m_conn = Pq().PQconnectdbParams(keys, values, 1);
    if (!m_conn || Pq().PQstatus(m_conn) != CONNECTION_OK) {
        error = m_shown + ": " + OneLine(m_conn ? Pq().PQerrorMessage(m_conn) : "out of memory");
        return false;
    }
    Pq().PQsetNoticeProcessor(m_conn, Quiet, nullptr);
    return true;
}

std::string Connection::Failure(pg_result* r) {
    const char* state = r ? Pq().PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    m_state = state ? state : "";
    const char* primary = r ? Pq().PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    return m_shown + ": " + OneLine(primary ? primary : Pq().PQerrorMessage(m_conn));
}

bool Connection::Run(const std::string& sql, const Params& params, Result* result, std::string& error) {
    const std::vector<const char*> values = params.Values();
    pg_result* raw = Pq().PQexecParams(m_conn, sql.c_str(), params.Count(), params.Types(), values.data(),
                                       params.Lengths(), params.Formats(), 1);
    const ExecStatusType status = raw ? Pq().PQresultStatus(raw) : PGRES_FATAL_ERROR;
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_COPY_IN;
    if (!ok)
        error = Failure(raw);
    if (ok && result)
        *result = Result(raw);
    else
        Pq().PQclear(raw);
    return ok;
}

void Connection::Rollback() {
    std::string ignored;
    if (Pq().PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        Run("ROLLBACK", ignored);
}

bool Connection::StartCopy(const std::string& sql, std::string& error) {
    return Run(sql, error);
}

bool Connection::PutCopy(std::string_view bytes, std::string& error) {
    if (Pq().PQputCopyData(m_conn, bytes.data(), int(bytes.size())) == 1)
        return true;
    error = Failure(nullptr);
    return false;
}

bool Connection::EndCopy(const std::string& failure, std::string& error) {
    if (Pq().PQputCopyEnd(m_conn, failure.empty() ? nullptr : failure.c_str()) != 1) {
        error = Failure(nullptr);
        return false;
    }
    // The COPY's outcome, then nothing more.
    bool ok = true;
    while (pg_result* r = Pq().PQgetResult(m_conn)) {
        if (Pq().PQresultStatus(r) != PGRES_COMMAND_OK && ok && failure.empty()) {
            error = Failure(r);
            ok = false;
        }
        Pq().PQclear(r);
    }
    return ok && failure.empty();
}

} // namespace cat_pg
