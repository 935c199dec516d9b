// One connection to a PostgreSQL server through libpq: statements with their parameters and results in
// binary (so that bytes are never cut at a NUL and block bytes are not sent as hex), the server's failures in
// one line, a URI shown without its password.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace cat_pg {

// `uri` without a password (in "user:password@" or a "password=" parameter), as it may be printed.
std::string ShownUri(const std::string& uri);

// A statement's parameters, each with its type, sent in binary.
class Params {
  public:
    Params& Text(std::string_view v) { return Add(25, v); }
    Params& Bytes(std::string_view v) { return Add(17, v); }
    Params& Int(int64_t v);
    int Count() const { return int(m_values.size()); }
    const unsigned* Types() const { return m_types.data(); }
    std::vector<const char*> Values() const;
    const int* Lengths() const { return m_lengths.data(); }
    const int* Formats() const { return m_formats.data(); }

  private:
    Params& Add(unsigned type, std::string_view v);
    std::vector<unsigned> m_types;
    std::vector<std::string> m_values;
    std::vector<int> m_lengths, m_formats;
};

// A result of binary columns, freed with it.
class Result {
  public:
    Result() = default;
    explicit Result(pg_result* r) : m_r(r) {}
    ~Result();
    Result(Result&& o) noexcept : m_r(o.m_r) { o.m_r = nullptr; }
    Result& operator=(Result&& o) noexcept;
    int Rows() const;
    bool Null(int row, int column) const;
    std::string_view Bytes(int row, int column) const;
    std::string Text(int row, int column) const { return std::string(Bytes(row, column)); }
    // An int2, int4 or int8 column's value (0 for a NULL or any other width).
    int64_t Int(int row, int column) const;

  private:
    pg_result* m_r = nullptr;
};

class Connection {
  public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects to `uri` (client encoding UTF-8); false with the server's reason.
    bool Open(const std::string& uri, std::string& error);
    // Runs `sql` (its parameters in `params`), its result in `*result` when given; false with the reason,
    // whose SQLSTATE is in State().
    bool Run(const std::string& sql, const Params& params, Result* result, std::string& error);
    bool Run(const std::string& sql, std::string& error) { return Run(sql, Params(), nullptr, error); }
    bool Run(const std::string& sql, Result& result, std::string& error) {
        return Run(sql, Params(), &result, error);
    }
    // The five-character SQLSTATE of the last failure ("" for one of the connection).
    const std::string& State() const { return m_state; }
    // Ends the transaction in progress without its changes (the failure that led here is the one told).
    void Rollback();

    // COPY ... FROM STDIN (FORMAT binary): started by Run of the COPY statement, then rows, then its end
    // (with `failure` non-empty, the server throws the rows away).
    bool StartCopy(const std::string& sql, std::string& error);
    bool PutCopy(std::string_view bytes, std::string& error);
    bool EndCopy(const std::string& failure, std::string& error);

    const std::string& Uri() const { return m_shown; }

  private:
    std::string Failure(pg_result* r);
    pg_conn* m_conn = nullptr;
    std::string m_shown, m_state;
};

} // namespace cat_pg
