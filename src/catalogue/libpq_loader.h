// libpq, loaded when a PostgreSQL catalogue is first opened. Linked in, it and the Kerberos, LDAP and TLS
// libraries it needs would cost every ckvd command about 12 ms of start-up, most of a search's time.
#pragma once

#include <libpq-fe.h>

#include <string>

namespace cat_pg {

// clang-format off
#define CKVD_LIBPQ_FUNCTIONS(X) \
    X(PQclear) \
    X(PQconnectdbParams) \
    X(PQerrorMessage) \
    X(PQexecParams) \
    X(PQfinish) \
    X(PQgetResult) \
    X(PQgetisnull) \
    X(PQgetlength) \
    X(PQgetvalue) \
    X(PQntuples) \
    X(PQputCopyData) \
    X(PQputCopyEnd) \
    X(PQresultErrorField) \
    X(PQresultStatus) \
    X(PQsetNoticeProcessor) \
    X(PQstatus) \
    X(PQtransactionStatus)
// clang-format on

struct LibPq {
#define CKVD_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    CKVD_LIBPQ_FUNCTIONS(CKVD_LIBPQ_MEMBER)
#undef CKVD_LIBPQ_MEMBER
};

// The loaded library, or null with error saying what is missing. Loaded once for the process.
const LibPq* LibPq_Load(std::string& error);

} // namespace cat_pg
