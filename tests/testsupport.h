#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTest>

#include <array>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

class DatabaseConnection;

// Helpers shared by the test executables: the test database started by
// scripts/with-test-db.sh, the files under tests/data, and capture of
// standard output.
struct TestSupport
{
    // Address and port of the test server. A test that needs them fails (never
    // skips) when the test command did not provide them.
    static std::string hostaddr() { return qgetenv("QUORBEL_TEST_HOSTADDR").toStdString(); }
    static std::string port() { return qgetenv("QUORBEL_TEST_PORT").toStdString(); }

    // A new connection as the report program makes it, already connected.
    static std::unique_ptr<DatabaseConnection> connect();

    // Runs SQL as the table owner on a separate connection; returns false and
    // prints the server's message on failure. For building test data.
    static bool exec(const std::string &sql);
    // First cell of a query run the same way; empty on failure.
    static std::string scalar(const std::string &sql);
    // First cell of a query run as the server's superuser; empty on failure.
    static std::string admin(const std::string &sql);
    // The server process of the program's account that waits on a lock; 0 for none.
    static int backendEsperandoTrava();
    // Empties every table and restarts the keys.
    static bool resetTables();
    // Runs SQL where {2015-03-01 08:10} stands for that local time in São Paulo
    // (UTC-3) as seconds since 1970.
    static bool semear(QString sql);

    // The bytes of tests/data/<nome>.
    static QByteArray dados(const QString &nome)
    {
        return lerArquivo(QUORBEL_TEST_DATA "/" + nome);
    }
    // The rows of the table tests/data/<nome> for a data-driven test: a line of
    // column names, then a row a line, cells separated by tabs, the first cell
    // the row's tag; "#" starts a comment line. In a cell \t, \r, \n, \\ and
    // \xHH stand for their bytes. Every column is a QByteArray.
    static void tabela(const QString &nome);
    // Cells of the running row of such a table, by column name:
    //   const auto [nome, bytes] = TestSupport::celulas("nome", "bytes");
    template <typename... Coluna>
    static std::array<QByteArray, sizeof...(Coluna)> celulas(Coluna... colunas)
    {
        return {*static_cast<QByteArray *>(QTest::qData(colunas, qMetaTypeId<QByteArray>()))...};
    }
    // A file's bytes, or "<no file>".
    static QByteArray lerArquivo(const QString &caminho);
    // Every entry of a folder, hidden ones included, sorted.
    static QStringList entradas(const QString &pasta);

    // Collects everything written to std::cout while it lives.
    class CoutCapture
    {
    public:
        ~CoutCapture() { std::cout.rdbuf(previous); }
        std::string text() const { return buffer.str(); }

    private:
        std::ostringstream buffer;
        std::streambuf *previous = std::cout.rdbuf(buffer.rdbuf());
    };
};

// Fails the running test when the database is missing.
#define REQUIRE_DATABASE()                                                                         \
    do {                                                                                           \
        if (TestSupport::port().empty())                                                           \
            QFAIL("no test database: run the tests through scripts/test.sh "                       \
                  "(QUORBEL_TEST_HOSTADDR and QUORBEL_TEST_PORT are not set)");                    \
    } while (0)

// Skips the running test on Windows, for the reason given.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(reason) QSKIP(reason)
#else
#define SKIP_ON_WINDOWS(reason) Q_UNUSED(reason)
#endif
