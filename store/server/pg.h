#pragma once
// The few libpq handles the server engine holds, each freed when it goes.

#include <libpq-fe.h>

#include <memory>

namespace qv::pg {

struct ConnectionFree {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultFree {
    void operator()(PGresult* r) const { PQclear(r); }
};
struct NotifyFree {
    void operator()(PGnotify* n) const { PQfreemem(n); }
};

using Connection = std::unique_ptr<PGconn, ConnectionFree>;
using ResultPtr = std::unique_ptr<PGresult, ResultFree>;
using Notify = std::unique_ptr<PGnotify, NotifyFree>;

} // namespace qv::pg
