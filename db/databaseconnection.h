#pragma once

// The program's one handle on the machine's database, and the function that
// runs one SQL text on it. libpq stays out of this header.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "db/pgforward.h"

class DatabaseConnection
{
public:
    using StatementObserver = std::function<void(const std::string &sql)>;

    DatabaseConnection(std::string user, std::string password, std::string dbname,
                       std::string hostaddr, std::string port);
    ~DatabaseConnection();

    DatabaseConnection(const DatabaseConnection &) = delete;
    DatabaseConnection &operator=(const DatabaseConnection &) = delete;

    // Opens the connection; blocks until libpq has connected or failed. An
    // empty address fails at once.
    bool connect();
    bool isConnected() const;

    // The same without blocking: startConnect() begins an attempt (false
    // when it fails at once), then pollConnect() advances it each time the
    // socket is ready for what the last poll asked for. The caller enforces
    // the time limit (libpq does not apply it to polling).
    enum class ConnectStep { Read, Write, Connected, Failed };
    bool startConnect();
    ConnectStep pollConnect();
    // The socket of the attempt or connection; -1 when there is none.
    int socket() const;
    // Finishes the connection; idempotent. Always true.
    bool close();

    // The text handed to PQconnectdb: user, password, dbname, hostaddr, port.
    std::string connectionString() const;

    // Statements that did not succeed through executeQuery since construction.
    int failedStatements() const;

    // Called with every SQL text before it is sent. Tests install one to see
    // the exact statements; the program never does.
    void setStatementObserver(StatementObserver observer);

    // Asks the statement running on this connection, if any, to stop, and
    // makes every further statement fail at once until clearInterruption().
    // Safe to call from any thread.
    void interrupt();
    void clearInterruption();
    bool isInterrupted() const;

    // libpq's text for the last failure on this connection (no trailing
    // newline); empty when there is none.
    std::string errorMessage() const;
    // The server process serving this connection; 0 while closed.
    int backendPid() const;

private:
    friend PGresult *executeQuery(DatabaseConnection *conexao, const std::string &sql);
    friend class Pipeline;

    // Collects the results of statements an interruption left behind, once
    // the server has finished them; true when the connection is free for a
    // new statement.
    bool readyForStatement();
    // Counts a statement that did not succeed and prints its SQL text.
    void reportFailure(const std::string &sql);

    std::string user;
    std::string password;
    std::string dbname;
    std::string hostaddr;
    std::string port;
    PGconn *conn = nullptr;

    StatementObserver observer;
    std::atomic<int> failed{0};
    std::atomic<bool> interrupted{false};
};

// Runs one SQL text. Returns the result (the caller clears it) only for
// PGRES_COMMAND_OK and PGRES_TUPLES_OK; otherwise prints the SQL text on one
// line of standard output and returns nullptr.
PGresult *executeQuery(DatabaseConnection *conexao, const std::string &sql);

// Gives libpq's connection attempts a limit of 10 seconds (PGCONNECT_TIMEOUT)
// unless the environment already sets one. Without it, an address that does
// not answer holds an attempt for the operating system's minutes, and one that
// accepts and stays silent holds it for good. Call at start-up, before any
// thread starts.
void definirTempoLimiteConexaoPadrao();
// The time limit of a connection attempt in seconds, as libpq reads it from
// PGCONNECT_TIMEOUT; 0 for none.
int connectTimeoutSeconds();
