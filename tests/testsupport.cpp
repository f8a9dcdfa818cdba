#include "tests/testsupport.h"

#include "config/maquina.h"
#include "db/databaseconnection.h"

#include <libpq-fe.h>

#include <cstdlib>

namespace TestSupport {

namespace {

std::string env(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The program's account owns the tables.
std::string ownerConnectionText()
{
    return conexaoComAMaquina(hostaddr(), port())->connectionString();
}

struct ConnDeleter
{
    void operator()(PGconn *c) const { PQfinish(c); }
};
struct ResultDeleter
{
    void operator()(PGresult *r) const { PQclear(r); }
};

// One owner connection for the whole test executable.
PGconn *ownerConnection()
{
    static std::unique_ptr<PGconn, ConnDeleter> conn;
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK)
        conn.reset(PQconnectdb(ownerConnectionText().c_str()));
    if (PQstatus(conn.get()) != CONNECTION_OK) {
        std::cerr << "test database: " << PQerrorMessage(conn.get());
        return nullptr;
    }
    return conn.get();
}

} // namespace

std::string hostaddr()
{
    return env("QUORBEL_TEST_HOSTADDR");
}

std::string port()
{
    return env("QUORBEL_TEST_PORT");
}

bool haveDatabase()
{
    return !hostaddr().empty() && !port().empty();
}

std::unique_ptr<DatabaseConnection> connect()
{
    auto conexao = conexaoComAMaquina(hostaddr(), port());
    conexao->connect();
    return conexao;
}

bool exec(const std::string &sql)
{
    PGconn *conn = ownerConnection();
    if (!conn)
        return false;
    std::unique_ptr<PGresult, ResultDeleter> result(PQexec(conn, sql.c_str()));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        std::cerr << "test database: " << PQerrorMessage(conn) << "  in: " << sql << "\n";
        return false;
    }
    return true;
}

std::string scalar(const std::string &sql)
{
    PGconn *conn = ownerConnection();
    if (!conn)
        return std::string();
    std::unique_ptr<PGresult, ResultDeleter> result(PQexec(conn, sql.c_str()));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) < 1) {
        std::cerr << "test database: " << PQerrorMessage(conn) << "  in: " << sql << "\n";
        return std::string();
    }
    return PQgetvalue(result.get(), 0, 0);
}

bool resetTables()
{
    return exec("truncate treino, numero_classificacao_treino, funcionario, sessao, evento_muda "
                "restart identity");
}

CoutCapture::CoutCapture()
    : previous(std::cout.rdbuf(buffer.rdbuf()))
{
}

CoutCapture::~CoutCapture()
{
    std::cout.rdbuf(previous);
}

} // namespace TestSupport
