#include "db/databaseconnection.h"

#include "db/queryresult.h"
#include "db/socketwait.h"

#include <QByteArray>

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>

namespace {

// How often a waiting statement looks at the interruption flag, and how long
// it waits for the server to answer a cancel request before giving up on it.
constexpr int kWaitSliceMs = 100;
constexpr auto kCancelGrace = std::chrono::milliseconds(1000);

// A value as libpq's connection text takes it: unchanged when it is plain,
// otherwise in single quotes with \' and \\.
std::string connectionValue(const std::string &value)
{
    bool plain = !value.empty();
    for (unsigned char c : value)
        plain = plain && !std::isspace(c) && c != '\'' && c != '\\';
    if (plain)
        return value;
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

} // namespace

DatabaseConnection::DatabaseConnection(std::string user, std::string password, std::string dbname,
                                       std::string hostaddr, std::string port)
    : user(std::move(user))
    , password(std::move(password))
    , dbname(std::move(dbname))
    , hostaddr(std::move(hostaddr))
    , port(std::move(port))
{
}

DatabaseConnection::~DatabaseConnection()
{
    close();
}

std::string DatabaseConnection::connectionString() const
{
    return "user=" + connectionValue(user) + " password=" + connectionValue(password)
           + " dbname=" + connectionValue(dbname) + " hostaddr=" + connectionValue(hostaddr)
           + " port=" + connectionValue(port);
}

bool DatabaseConnection::connect()
{
    close();
    // Without an address libpq would reach the local default server instead.
    if (hostaddr.empty())
        return false;
    conn = PQconnectdb(connectionString().c_str());
    return PQstatus(conn) == CONNECTION_OK;
}

bool DatabaseConnection::startConnect()
{
    close();
    if (hostaddr.empty())
        return false;
    conn = PQconnectStart(connectionString().c_str());
    return conn && PQstatus(conn) != CONNECTION_BAD;
}

DatabaseConnection::ConnectStep DatabaseConnection::pollConnect()
{
    switch (conn ? PQconnectPoll(conn) : PGRES_POLLING_FAILED) {
    case PGRES_POLLING_READING:
        return ConnectStep::Read;
    case PGRES_POLLING_WRITING:
        return ConnectStep::Write;
    case PGRES_POLLING_OK:
        return ConnectStep::Connected;
    default:
        return ConnectStep::Failed;
    }
}

int DatabaseConnection::socket() const
{
    return conn ? PQsocket(conn) : -1;
}

bool DatabaseConnection::isConnected() const
{
    return conn && PQstatus(conn) == CONNECTION_OK;
}

bool DatabaseConnection::close()
{
    if (conn) {
        PQfinish(conn);
        conn = nullptr;
    }
    return true;
}

std::string DatabaseConnection::errorMessage() const
{
    std::string text = conn ? PQerrorMessage(conn) : "";
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

int DatabaseConnection::backendPid() const
{
    return conn ? PQbackendPID(conn) : 0;
}

int DatabaseConnection::failedStatements() const
{
    return failed.load();
}

void DatabaseConnection::setStatementObserver(StatementObserver o)
{
    observer = std::move(o);
}

void DatabaseConnection::interrupt()
{
    interrupted.store(true);
}

void DatabaseConnection::clearInterruption()
{
    interrupted.store(false);
}

bool DatabaseConnection::isInterrupted() const
{
    return interrupted.load();
}

namespace {

// Sends one statement and waits for its results in short slices, so that an
// interruption is noticed even while the server does not answer. Returns the
// last result, as PQexec would, or nullptr when none came.
ResultPtr runStatement(PGconn *conn, const std::string &sql, const std::atomic<bool> &interrupted)
{
    if (!conn || interrupted.load())
        return nullptr;
    if (!PQsendQuery(conn, sql.c_str()))
        return nullptr;

    using Clock = std::chrono::steady_clock;
    std::unique_ptr<PGcancel, void (*)(PGcancel *)> cancel(nullptr, PQfreeCancel);
    Clock::time_point giveUpAt;
    ResultPtr last;
    for (;;) {
        while (PQisBusy(conn)) {
            if (interrupted.load()) {
                if (!cancel) {
                    cancel.reset(PQgetCancel(conn));
                    char message[256];
                    if (cancel)
                        PQcancel(cancel.get(), message, sizeof message);
                    giveUpAt = Clock::now() + kCancelGrace;
                } else if (Clock::now() >= giveUpAt) {
                    // The server does not even answer the cancel request:
                    // leave the statement behind; the connection stays busy.
                    return nullptr;
                }
            }
            if (waitForSocket(PQsocket(conn), true, false, kWaitSliceMs) == SocketWait::Failed)
                return nullptr;
            if (!PQconsumeInput(conn))
                break; // connection lost: PQgetResult reports the error
        }
        PGresult *result = PQgetResult(conn);
        if (!result)
            break;
        last.reset(result);
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH)
            break;
    }
    return last;
}

} // namespace

PGresult *executeQuery(DatabaseConnection *conexao, const std::string &sql)
{
    if (!conexao) {
        // No connection object at all fails like a closed connection.
        std::cout << sql << std::endl;
        return nullptr;
    }
    if (conexao->observer)
        conexao->observer(sql);
    ResultPtr result = conexao->readyForStatement()
                           ? runStatement(conexao->conn, sql, conexao->interrupted)
                           : nullptr;
    const ExecStatusType status = PQresultStatus(result.get());
    if (result && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK))
        return result.release();
    conexao->reportFailure(sql);
    return nullptr;
}

// Statements left behind by an interruption keep libpq busy until their
// results are read: collect them once the server has finished them, and
// leave pipeline mode once every sync has come back.
bool DatabaseConnection::readyForStatement()
{
    if (!conn)
        return false;
    if (PQtransactionStatus(conn) == PQTRANS_ACTIVE && PQconsumeInput(conn)) {
        while (PQtransactionStatus(conn) == PQTRANS_ACTIVE && !PQisBusy(conn)) {
            const ResultPtr result(PQgetResult(conn));
            const ExecStatusType status = PQresultStatus(result.get());
            if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH)
                break;
            if (!result && PQpipelineStatus(conn) == PQ_PIPELINE_OFF)
                break;
        }
    }
    if (PQpipelineStatus(conn) != PQ_PIPELINE_OFF && PQexitPipelineMode(conn))
        PQsetnonblocking(conn, 0);
    return PQtransactionStatus(conn) != PQTRANS_ACTIVE && PQpipelineStatus(conn) == PQ_PIPELINE_OFF;
}

void DatabaseConnection::reportFailure(const std::string &sql)
{
    ++failed;
    std::cout << sql << std::endl;
}

int connectTimeoutSeconds()
{
    bool number = false;
    const int seconds = qEnvironmentVariableIntValue("PGCONNECT_TIMEOUT", &number);
    // As libpq: no limit for 0 or less; at least 2 seconds otherwise.
    return number && seconds > 0 ? std::max(seconds, 2) : 0;
}

void definirTempoLimiteConexaoPadrao()
{
    // An empty value counts as unset: libpq would refuse every connection
    // with it.
    if (qEnvironmentVariableIsEmpty("PGCONNECT_TIMEOUT"))
        qputenv("PGCONNECT_TIMEOUT", QByteArray("10"));
}
