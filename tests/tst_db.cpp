// The database layer against the test server: connection, statements, typed
// cells, conversions, the entity base and interruption of a running statement.

#include "db/databaseconnection.h"
#include "db/genericentity.h"
#include "db/queryresult.h"
#include "tests/testsupport.h"

#include <QTest>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>
#include <vector>

using S = std::string;
Q_DECLARE_METATYPE(SqlValue)
Q_DECLARE_METATYPE(S)

namespace QTest {
template <>
char *toString(const S &text)
{
    return QTest::toString(QString::fromStdString(text));
}
} // namespace QTest

namespace {

const S kMissing = "Não foi possivel recuperar resultado do banco de dados.";

// A row of table treino, written as the variety entity writes it.
class TreinoDeTeste final : public Quorbel::GenericEntity
{
public:
    explicit TreinoDeTeste(DatabaseConnection *conexao, S tabela = "treino")
        : GenericEntity(conexao)
        , tabela(std::move(tabela))
    {
    }
    S tableName() const override { return tabela; }
    std::vector<S> columnNames() const override
    {
        return {"nome", "ativo", "diretorio", "num_classificacoes"};
    }
    std::vector<S> columnValues() const override
    {
        return {toSqlValue(nome, SqlValueKind::Text), toSqlValue(ativo, SqlValueKind::Bool),
                toSqlValue(diretorio, SqlValueKind::Text),
                toSqlValue(numClassificacoes, SqlValueKind::Int)};
    }
    void loadFromRow(const PGresult *result) override
    {
        nome = getString(result, 0, 0);
        ativo = getBool(result, 0, 1);
        diretorio = getString(result, 0, 2);
        numClassificacoes = getInt(result, 0, 3);
    }
    int columnCount() const override { return 4; }
    void setId(int value) { id = value; }

    S tabela;
    S nome = "Uva";
    bool ativo = true;
    S diretorio = "C:/x";
    int numClassificacoes = 2;
};

// Every statement a connection sends, one per line.
struct SentStatements
{
    explicit SentStatements(DatabaseConnection &conexao)
    {
        conexao.setStatementObserver(
            [this](const S &sql) { lines << QString::fromStdString(sql); });
    }
    QStringList lines;
};

// A port on 127.0.0.1 that nothing listens on: bound by us, then released.
S closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return std::to_string(ntohs(address.sin_port));
}

// Runs SQL as the cluster's administrator (creating roles needs it).
bool adminExec(const S &sql)
{
    const char *admin = std::getenv("QUORBEL_TEST_ADMIN");
    PGconn *conn = PQconnectdb(admin ? admin : "");
    const ResultPtr result(PQexec(conn, sql.c_str()));
    const bool ok = PQresultStatus(result.get()) == PGRES_COMMAND_OK;
    PQfinish(conn);
    return ok;
}

// Waits until the connection's server process sleeps in pg_sleep.
bool waitUntilSleeping(const DatabaseConnection &conexao)
{
    const S sql = "select count(*) from pg_stat_activity where wait_event = 'PgSleep' and pid = "
                  + std::to_string(PQbackendPID(conexao.handle()));
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < giveUpAt) {
        if (TestSupport::scalar(sql) == "1")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Runs a statement that lasts until the connection is interrupted from
// another thread, which waits until the statement has reached the server.
PGresult *runInterrupted(DatabaseConnection &conexao, const S &sql, bool *sawItRunning)
{
    std::thread other([&] {
        *sawItRunning = waitUntilSleeping(conexao);
        conexao.interrupt();
    });
    PGresult *result = executeQuery(&conexao, sql);
    other.join();
    return result;
}

} // namespace

class TestDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_DATABASE(); }

    void connectionString_data()
    {
        QTest::addColumn<S>("password");
        QTest::addColumn<S>("hostaddr");
        QTest::addColumn<S>("expected");
        const S head = "user=quorbel password=";
        const S tail = " dbname=BDQuorbel hostaddr=127.0.0.1 port=5432";
        QTest::newRow("ordinary") << S("tarnek") << S("127.0.0.1") << head + "tarnek" + tail;
        QTest::newRow("empty") << S() << S("127.0.0.1") << head + "''" + tail;
        QTest::newRow("blank") << S("tar nek") << S("127.0.0.1") << head + "'tar nek'" + tail;
        QTest::newRow("tab") << S("tar\tnek") << S("127.0.0.1") << head + "'tar\tnek'" + tail;
        QTest::newRow("quote") << S("tar'nek") << S("127.0.0.1") << head + "'tar\\'nek'" + tail;
        QTest::newRow("backslash") << S("tar\\nek") << S("127.0.0.1")
                                   << head + "'tar\\\\nek'" + tail;
        QTest::newRow("empty address") << S("tarnek") << S()
                                       << S("user=quorbel password=tarnek dbname=BDQuorbel "
                                            "hostaddr='' port=5432");
    }
    void connectionString()
    {
        QFETCH(S, password);
        QFETCH(S, hostaddr);
        QFETCH(S, expected);
        const DatabaseConnection conexao("quorbel", password, "BDQuorbel", hostaddr, "5432");
        QCOMPARE(conexao.connectionString(), expected);
    }

    void awkwardPasswordConnects()
    {
        adminExec("set client_min_messages = warning; drop role if exists quorbel_aspas");
        QVERIFY(adminExec("set password_encryption = 'scram-sha-256'; "
                          "create role quorbel_aspas login password 'tar nek''s\\x'"));
        DatabaseConnection conexao("quorbel_aspas", "tar nek's\\x", "BDQuorbel",
                                   TestSupport::hostaddr(), TestSupport::port());
        QVERIFY(conexao.connect());
        conexao.close();
        QVERIFY(adminExec("drop role quorbel_aspas"));
    }

    void connecting_data()
    {
        QTest::addColumn<S>("password");
        QTest::addColumn<S>("hostaddr");
        QTest::addColumn<S>("port");
        QTest::addColumn<bool>("connects");
        const S address = TestSupport::hostaddr();
        const S port = TestSupport::port();
        QTest::newRow("test role") << S("tarnek") << address << port << true;
        QTest::newRow("wrong password") << S("tarnak") << address << port << false;
        QTest::newRow("host name as address") << S("tarnek") << S("localhost") << port << false;
        QTest::newRow("closed port") << S("tarnek") << address << closedPort() << false;
    }
    void connecting()
    {
        QFETCH(S, password);
        QFETCH(S, hostaddr);
        QFETCH(S, port);
        QFETCH(bool, connects);
        DatabaseConnection conexao("quorbel", password, "BDQuorbel", hostaddr, port);
        const TestSupport::CoutCapture out;
        QVERIFY(!conexao.isConnected());
        QVERIFY(!executeQuery(&conexao, "select 1"));
        QCOMPARE(conexao.connect(), connects);
        QCOMPARE(conexao.isConnected(), connects);
        const ResultPtr open(executeQuery(&conexao, "select 2"));
        QCOMPARE(getInt(open.get(), 0, 0), connects ? 2 : -1);
        QVERIFY(conexao.close());
        QVERIFY(!conexao.isConnected());
        QVERIFY(!executeQuery(&conexao, "select 3"));
        QVERIFY(conexao.close());
        // A statement that cannot run prints its SQL, and so does the getter.
        const S statement2 = connects ? S() : "select 2\n" + kMissing + " (row: 0, col:0)\n";
        QCOMPARE(out.text(), "select 1\n" + statement2 + "select 3\n");
        QCOMPARE(conexao.failedStatements(), connects ? 2 : 3);
    }

    void closeFinishesTheServerSession()
    {
        auto conexao = TestSupport::connect();
        const S sessions = "select count(*) from pg_stat_activity where pid = "
                           + std::to_string(PQbackendPID(conexao->handle()));
        QCOMPARE(TestSupport::scalar(sessions), S("1"));
        conexao->close();
        QVERIFY(!conexao->isConnected());
        QTRY_COMPARE(TestSupport::scalar(sessions), S("0"));
        conexao.reset();
    }

    void statementsWithoutRowsSucceed()
    {
        auto conexao = TestSupport::connect();
        const TestSupport::CoutCapture out;
        const ResultPtr query(executeQuery(conexao.get(), "select id from treino where false"));
        QCOMPARE(PQresultStatus(query.get()), PGRES_TUPLES_OK);
        QCOMPARE(rowCount(query.get()), 0);
        const ResultPtr update(executeQuery(conexao.get(), "update treino set ativo=true "
                                                           "where false"));
        QCOMPARE(PQresultStatus(update.get()), PGRES_COMMAND_OK);
        QCOMPARE(out.text(), S());
        QCOMPARE(conexao->failedStatements(), 0);
    }

    void failedStatementPrintsItsSql_data()
    {
        QTest::addColumn<S>("sql");
        QTest::newRow("syntax error") << S("selec id from treino");
        QTest::newRow("missing table") << S("select * from nao_existe");
        QTest::newRow("empty statement") << S();
    }
    void failedStatementPrintsItsSql()
    {
        QFETCH(S, sql);
        auto conexao = TestSupport::connect();
        {
            const TestSupport::CoutCapture out;
            QVERIFY(!executeQuery(conexao.get(), sql));
            QCOMPARE(out.text(), sql + "\n");
        }
        QCOMPARE(conexao->failedStatements(), 1);
        const ResultPtr next(executeQuery(conexao.get(), "select 1"));
        QCOMPARE(getInt(next.get(), 0, 0), 1);
    }

    void gettersReadCells()
    {
        auto conexao = TestSupport::connect();
        const ResultPtr r(executeQuery(conexao.get(),
                                       "select 42, true, false, 1700000000::bigint, "
                                       "'São Paulo – ação ✓', -2147483648, null::text, "
                                       "null::int, null::bool"));
        const TestSupport::CoutCapture out;
        QCOMPARE(getInt(r.get(), 0, 0), 42);
        QCOMPARE(getBool(r.get(), 0, 1), true);
        QCOMPARE(getBool(r.get(), 0, 2), false);
        QCOMPARE(getLong(r.get(), 0, 3), 1700000000L);
        QCOMPARE(getString(r.get(), 0, 4), S("São Paulo – ação ✓"));
        QCOMPARE(getInt(r.get(), 0, 5), INT_MIN);
        QCOMPARE(getString(r.get(), 0, 6), S());
        QCOMPARE(getInt(r.get(), 0, 7), 0);
        QCOMPARE(getBool(r.get(), 0, 8), false);
        QCOMPARE(out.text(), S());
    }

    void missingCellsPrintAndGiveDefaults()
    {
        auto conexao = TestSupport::connect();
        const ResultPtr r(executeQuery(conexao.get(), "select g, g > 1, g * 10, 'x' || g "
                                                      "from generate_series(1, 3) g"));
        QCOMPARE(rowCount(r.get()), 3);
        const TestSupport::CoutCapture out;
        QCOMPARE(getInt(r.get(), 5, 0), -1);
        QCOMPARE(getBool(r.get(), 0, 7), false);
        QCOMPARE(getLong(r.get(), 3, 1), -1L);
        QCOMPARE(getString(r.get(), 2, 4), S());
        QCOMPARE(getInt(nullptr, 0, 0), -1);
        QCOMPARE(getBool(nullptr, 1, 0), false);
        QCOMPARE(getLong(nullptr, 2, 3), -1L);
        QCOMPARE(getString(nullptr, 0, 1), S());
        QCOMPARE(out.text(), kMissing + " (row: 5, col:0)\n" + kMissing + "bool:0,7\n"
                                 + kMissing + "long:3,1\n" + kMissing + "string:2,4\n"
                                 + kMissing + " (row: 0, col:0)\n" + kMissing + "bool:1,0\n"
                                 + kMissing + "long:2,3\n" + kMissing + "string:0,1\n");
    }

    void stringToBool_data()
    {
        QTest::addColumn<S>("text");
        QTest::addColumn<bool>("expected");
        for (const char *yes : {"t", "true"})
            QTest::newRow(yes) << S(yes) << true;
        for (const char *no :
             {"f", "false", "T", "True", "TRUE", "1", "", " t", "t ", "true ", "tr"})
            QTest::newRow(qPrintable(QString("\"%1\"").arg(no))) << S(no) << false;
    }
    void stringToBool()
    {
        QFETCH(S, text);
        QFETCH(bool, expected);
        QCOMPARE(::stringToBool(text), expected);
    }

    void stringToNumber_data()
    {
        QTest::addColumn<S>("text");
        QTest::addColumn<int>("asInt");
        QTest::addColumn<qlonglong>("asLong");
        QTest::newRow("digits") << S("42") << 42 << 42LL;
        QTest::newRow("leading blanks") << S(" \t 42") << 42 << 42LL;
        QTest::newRow("minus") << S("-17") << -17 << -17LL;
        QTest::newRow("plus") << S("+8") << 8 << 8LL;
        QTest::newRow("digits then letters") << S("12abc") << 12 << 12LL;
        QTest::newRow("empty") << S() << 0 << 0LL;
        QTest::newRow("letters") << S("abc") << 0 << 0LL;
        QTest::newRow("sign alone") << S("-") << 0 << 0LL;
        QTest::newRow("int maximum") << S("2147483647") << INT_MAX << 2147483647LL;
        QTest::newRow("int minimum") << S("-2147483648") << INT_MIN << -2147483648LL;
        QTest::newRow("above int") << S("2147483648") << 0
                                   << (sizeof(long) > 4 ? 2147483648LL : 0LL);
        QTest::newRow("above long") << S("99999999999999999999") << 0 << 0LL;
        QTest::newRow("below long") << S("-99999999999999999999") << 0 << 0LL;
    }
    void stringToNumber()
    {
        QFETCH(S, text);
        QFETCH(int, asInt);
        QFETCH(qlonglong, asLong);
        QCOMPARE(stringToInt(text), asInt);
        QCOMPARE(qlonglong(stringToLong(text)), asLong);
    }

    void toSqlValue_data()
    {
        QTest::addColumn<SqlValue>("value");
        QTest::addColumn<int>("kind");
        QTest::addColumn<S>("expected");
        const int text = int(SqlValueKind::Text);
        const int boolean = int(SqlValueKind::Bool);
        const int integer = int(SqlValueKind::Int);
        const int longInt = int(SqlValueKind::Long);
        QTest::newRow("text") << SqlValue(S("São Paulo")) << text << S("'São Paulo'");
        QTest::newRow("text with quote") << SqlValue(S("D'Ávila")) << text << S("'D''Ávila'");
        QTest::newRow("only quotes") << SqlValue(S("''")) << text << S("''''''");
        QTest::newRow("empty text") << SqlValue(S()) << text << S("''");
        QTest::newRow("true") << SqlValue(true) << boolean << S("true");
        QTest::newRow("false") << SqlValue(false) << boolean << S("false");
        QTest::newRow("int") << SqlValue(-7) << integer << S("-7");
        QTest::newRow("int minimum") << SqlValue(INT_MIN) << integer << S("-2147483648");
        QTest::newRow("long") << SqlValue(1700000000L) << longInt << S("1700000000");
        QTest::newRow("kind 9") << SqlValue(-7) << 9 << S();
        QTest::newRow("int taken as text") << SqlValue(5) << text << S();
        QTest::newRow("text taken as bool") << SqlValue(S("true")) << boolean << S();
        QTest::newRow("int taken as long") << SqlValue(5) << longInt << S();
    }
    void toSqlValue()
    {
        QFETCH(SqlValue, value);
        QFETCH(int, kind);
        QFETCH(S, expected);
        QCOMPARE(::toSqlValue(value, static_cast<SqlValueKind>(kind)), expected);
    }

    void formatDuration_data()
    {
        QTest::addColumn<long>("seconds");
        QTest::addColumn<S>("expected");
        QTest::newRow("zero") << 0L << S("00:00:00");
        QTest::newRow("59 s") << 59L << S("00:00:59");
        QTest::newRow("1 min") << 60L << S("00:01:00");
        QTest::newRow("1 h 1 min 1 s") << 3661L << S("01:01:01");
        QTest::newRow("10 h") << 36000L << S("10:00:00");
        QTest::newRow("a day less 1 s") << 86399L << S("23:59:59");
        QTest::newRow("100 h") << 360000L << S("100:00:00");
        QTest::newRow("negative") << -5L << S("-00:00:05");
    }
    void formatDuration()
    {
        QFETCH(long, seconds);
        QFETCH(S, expected);
        QCOMPARE(::formatDuration(seconds), expected);
    }

    void entityRoundTrip()
    {
        QVERIFY(TestSupport::resetTables());
        QVERIFY(TestSupport::exec("select setval('treino_id_seq', 6)"));
        auto conexao = TestSupport::connect();
        const SentStatements sent(*conexao);
        TreinoDeTeste treino(conexao.get());
        QCOMPARE(treino.getId(), -1);
        QVERIFY(treino.save());
        QCOMPARE(treino.getId(), 7);
        QVERIFY(treino.save());
        treino.nome = "Maçã";
        treino.ativo = false;
        treino.numClassificacoes = 5;
        QVERIFY(treino.save());
        const S select = "select nome,ativo,diretorio,num_classificacoes from treino where id=7";
        const ResultPtr row(executeQuery(conexao.get(), select));
        TreinoDeTeste lido(conexao.get());
        lido.loadFromRow(row.get());
        QCOMPARE(lido.columnValues(), treino.columnValues());
        QCOMPARE(lido.getId(), -1);
        QVERIFY(treino.remove());
        QCOMPARE(treino.getId(), 7);
        QCOMPARE(TestSupport::scalar("select count(*) from treino"), S("0"));
        QVERIFY(treino.remove());
        treino.setId(999);
        QVERIFY(treino.save());
        QCOMPARE(sent.lines, QStringList({
            "insert into treino (nome,ativo,diretorio,num_classificacoes) "
            "values('Uva',true,'C:/x',2) returning id",
            "update treino set nome='Uva',ativo=true,diretorio='C:/x',num_classificacoes=2 "
            "where id=7",
            "update treino set nome='Maçã',ativo=false,diretorio='C:/x',num_classificacoes=5 "
            "where id=7",
            QString::fromStdString(select),
            "delete from treino where id=7",
            "delete from treino where id=7",
            "update treino set nome='Maçã',ativo=false,diretorio='C:/x',num_classificacoes=5 "
            "where id=999",
        }));
        QCOMPARE(conexao->failedStatements(), 0);
    }

    void quoteInTextIsStoredIntact()
    {
        QVERIFY(TestSupport::resetTables());
        auto conexao = TestSupport::connect();
        const SentStatements sent(*conexao);
        TreinoDeTeste treino(conexao.get());
        treino.nome = "D'Ávila";
        treino.diretorio = "C:/x'; drop table treino; --";
        QVERIFY(treino.save());
        QCOMPARE(sent.lines,
                 QStringList("insert into treino (nome,ativo,diretorio,num_classificacoes) "
                             "values('D''Ávila',true,'C:/x''; drop table treino; --',2) "
                             "returning id"));
        QCOMPARE(TestSupport::scalar("select nome from treino"), S("D'Ávila"));
        QCOMPARE(TestSupport::scalar("select diretorio from treino"), treino.diretorio);
    }

    void failedWritesReturnFalse()
    {
        auto conexao = TestSupport::connect();
        TreinoDeTeste treino(conexao.get(), "nao_existe");
        {
            const TestSupport::CoutCapture out;
            QVERIFY(!treino.save());
            QCOMPARE(out.text(), "insert into nao_existe (nome,ativo,diretorio,num_classificacoes) "
                                 "values('Uva',true,'C:/x',2) returning id\n"
                                 + kMissing + " (row: 0, col:0)\n");
        }
        QCOMPARE(treino.getId(), -1);
        treino.setId(3);
        const TestSupport::CoutCapture out;
        QVERIFY(!treino.save());
        QVERIFY(!treino.remove());
        QCOMPARE(out.text(), S("update nao_existe set nome='Uva',ativo=true,diretorio='C:/x',"
                               "num_classificacoes=2 where id=3\n"
                               "delete from nao_existe where id=3\n"));
        QCOMPARE(treino.getId(), 3);
        QCOMPARE(conexao->failedStatements(), 3);
    }

    void interruptStopsStatements()
    {
        auto conexao = TestSupport::connect();
        const TestSupport::CoutCapture out;
        conexao->interrupt();
        QVERIFY(!executeQuery(conexao.get(), "select pg_sleep(30)"));
        conexao->clearInterruption();
        bool sawItRunning = false;
        const ResultPtr result(runInterrupted(*conexao, "select pg_sleep(30)", &sawItRunning));
        QVERIFY(sawItRunning);
        QVERIFY(!result);
        QVERIFY(conexao->isInterrupted());
        QVERIFY(!executeQuery(conexao.get(), "select 1"));
        conexao->clearInterruption();
        QVERIFY(!conexao->isInterrupted());
        const ResultPtr after(executeQuery(conexao.get(), "select 1"));
        QCOMPARE(getInt(after.get(), 0, 0), 1);
        QCOMPARE(out.text(), S("select pg_sleep(30)\nselect pg_sleep(30)\nselect 1\n"));
        QCOMPARE(conexao->failedStatements(), 3);
        QVERIFY(conexao->isConnected());
    }

    void statementLeftBehindIsCollected()
    {
        // The statement swallows the cancel (the server may deliver it twice)
        // and then waits for a lock the test holds, so the interrupted call
        // returns without its result.
        QVERIFY(TestSupport::exec("select pg_advisory_lock(4242)"));
        auto conexao = TestSupport::connect();
        const TestSupport::CoutCapture out;
        bool sawItRunning = false;
        const ResultPtr result(runInterrupted(
            *conexao,
            "do $$ begin "
            "begin perform pg_sleep(30); exception when query_canceled then end; "
            "loop begin perform pg_advisory_lock(4242); exit; "
            "exception when query_canceled then end; end loop; end $$",
            &sawItRunning));
        QVERIFY(sawItRunning);
        QVERIFY(!result);
        conexao->clearInterruption();
        const auto works = [&conexao] {
            const ResultPtr r(executeQuery(conexao.get(), "select 1"));
            return getInt(r.get(), 0, 0) == 1;
        };
        QVERIFY(!works());
        QVERIFY(TestSupport::exec("select pg_advisory_unlock(4242)"));
        QTRY_VERIFY_WITH_TIMEOUT(works(), 20000);
    }
};

QTEST_GUILESS_MAIN(TestDb)
#include "tst_db.moc"
