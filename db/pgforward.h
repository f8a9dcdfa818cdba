#pragma once

// libpq's handle types, for headers that pass them on without libpq's own
// header. Only db/ sources include libpq-fe.h.

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;
