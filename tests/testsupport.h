#pragma once

// Helpers shared by the test executables: the test database started by
// scripts/with-test-db.sh, and capture of standard output.

#include <QString>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>

class DatabaseConnection;

namespace TestSupport {

// Address and port of the test server. A test that needs them fails (never
// skips) when the test command did not provide them.
std::string hostaddr();
std::string port();
bool haveDatabase();

// A new connection as the report program makes it (role quorbel,
// database BDQuorbel), already connected.
std::unique_ptr<DatabaseConnection> connect();

// Runs SQL as the table owner on a separate connection; returns false and
// prints the server's message on failure. For building test data.
bool exec(const std::string &sql);
// First cell of a query run the same way; empty on failure.
std::string scalar(const std::string &sql);
// Empties every table and restarts the keys.
bool resetTables();

// Collects everything written to std::cout while it lives.
class CoutCapture
{
public:
    CoutCapture();
    ~CoutCapture();
    std::string text() const { return buffer.str(); }

private:
    std::ostringstream buffer;
    std::streambuf *previous;
};

} // namespace TestSupport

// Fails the running test when the database is missing.
#define REQUIRE_DATABASE()                                                                         \
    do {                                                                                           \
        if (!TestSupport::haveDatabase())                                                          \
            QFAIL("no test database: run the tests through scripts/test.sh "                       \
                  "(QUORBEL_TEST_HOSTADDR and QUORBEL_TEST_PORT are not set)");                    \
    } while (0)
