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
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(SqlValue)
Q_DECLARE_METATYPE(std::string)

namespace QTest {
template <>
char *toString(const std::string &text)
{
    return QTest::toString(QString::fromStdString(text));
}
template <>
char *toString(const std::vector<std::string> &texts)
{
    QStringList lines;
    for (const std::string &text : texts)
        lines << QString::fromStdString(text);
    return QTest::toString(lines.join('\n'));
}
} // namespace QTest

namespace {

const std::string kMissing = "Não foi possivel recuperar resultado do banco de dados.";

// A row of table treino, as the variety entity writes it.
class TreinoDeTeste final : public Quorbel::GenericEntity
{
public:
    explicit TreinoDeTeste(DatabaseConnection *conexao, std::string tabela = "treino")
        : GenericEntity(conexao)
        , tabela(std::move(tabela))
    {
    }

    std::string tableName() const override { return tabela; }
    std::vector<std::string> columnNames() const override
    {
        return {"nome", "ativo", "diretorio", "num_classificacoes"};
    }
    std::vector<std::string> columnValues() const override
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

    std::string tabela;
    std::string nome = "Uva";
    bool ativo = true;
    std::string diretorio = "C:/x";
    int numClassificacoes = 2;
};

// A port on 127.0.0.1 that nothing listens on: bound by us, then released.
std::string closedPort()
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
bool adminExec(const std::string &sql)
{
    const char *admin = std::getenv("QUORBEL_TEST_ADMIN");
    PGconn *conn = PQconnectdb(admin ? admin : "");
    const ResultPtr result(PQexec(conn, sql.c_str()));
    const bool ok = PQresultStatus(result.get()) == PGRES_COMMAND_OK;
    PQfinish(conn);
    return ok;
}

// Waits, on the calling thread, until the connection's server process is
// running a statement.
bool waitUntilActive(const DatabaseConnection &conexao)
{
    const std::string sql = "select count(*) from pg_stat_activity "
                            "where state = 'active' and pid = "
                            + std::to_string(PQbackendPID(conexao.handle()));
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < giveUpAt) {
        if (TestSupport::scalar(sql) == "1")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

class TestDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void connectionString_data();
    void connectionString();
    void awkwardPasswordConnects();
    void connect_data();
    void connect();
    void closeFinishesTheServerSession();

    void statementsThatSucceed_data();
    void statementsThatSucceed();
    void failedStatementPrintsItsSql_data();
    void failedStatementPrintsItsSql();
    void statementWithoutConnectionFails_data();
    void statementWithoutConnectionFails();

    void gettersReadCells();
    void missingCellPrintsAndGivesDefault_data();
    void missingCellPrintsAndGivesDefault();

    void stringToBool_data();
    void stringToBool();
    void stringToNumber_data();
    void stringToNumber();
    void numberToString();
    void toSqlValue_data();
    void toSqlValue();
    void formatDuration_data();
    void formatDuration();

    void entityRoundTrip();
    void quoteInTextIsStoredIntact();
    void buildersUseTheGivenCount();
    void failedWritesReturnFalse();

    void interruptStopsRunningStatement();
    void interruptBeforeStatementFailsAtOnce();
    void statementLeftBehindIsCollected();
};

void TestDb::initTestCase()
{
    REQUIRE_DATABASE();
}

void TestDb::connectionString_data()
{
    QTest::addColumn<std::string>("password");
    QTest::addColumn<std::string>("hostaddr");
    QTest::addColumn<std::string>("expected");
    const std::string head = "user=quorbel password=";
    const std::string tail = " dbname=BDQuorbel hostaddr=127.0.0.1 port=5432";
    QTest::newRow("ordinary values") << std::string("tarnek") << std::string("127.0.0.1")
                                     << head + "tarnek" + tail;
    QTest::newRow("empty password") << std::string() << std::string("127.0.0.1")
                                    << head + "''" + tail;
    QTest::newRow("blank") << std::string("tar nek") << std::string("127.0.0.1")
                           << head + "'tar nek'" + tail;
    QTest::newRow("tab") << std::string("tar\tnek") << std::string("127.0.0.1")
                         << head + "'tar\tnek'" + tail;
    QTest::newRow("quote") << std::string("tar'nek") << std::string("127.0.0.1")
                           << head + "'tar\\'nek'" + tail;
    QTest::newRow("backslash") << std::string("tar\\nek") << std::string("127.0.0.1")
                               << head + "'tar\\\\nek'" + tail;
    QTest::newRow("empty address")
        << std::string("tarnek") << std::string()
        << std::string("user=quorbel password=tarnek dbname=BDQuorbel hostaddr='' port=5432");
}

void TestDb::connectionString()
{
    QFETCH(std::string, password);
    QFETCH(std::string, hostaddr);
    QFETCH(std::string, expected);
    const DatabaseConnection conexao("quorbel", password, "BDQuorbel", hostaddr, "5432");
    QCOMPARE(conexao.connectionString(), expected);
}

void TestDb::awkwardPasswordConnects()
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

void TestDb::connect_data()
{
    QTest::addColumn<std::string>("password");
    QTest::addColumn<std::string>("hostaddr");
    QTest::addColumn<std::string>("port");
    QTest::addColumn<bool>("connects");
    const std::string address = TestSupport::hostaddr();
    const std::string port = TestSupport::port();
    QTest::newRow("test role") << std::string("tarnek") << address << port << true;
    QTest::newRow("wrong password") << std::string("tarnak") << address << port << false;
    QTest::newRow("host name as address") << std::string("tarnek") << std::string("localhost")
                                          << port << false;
    QTest::newRow("closed port") << std::string("tarnek") << address << closedPort() << false;
}

void TestDb::connect()
{
    QFETCH(std::string, password);
    QFETCH(std::string, hostaddr);
    QFETCH(std::string, port);
    QFETCH(bool, connects);
    DatabaseConnection conexao("quorbel", password, "BDQuorbel", hostaddr, port);
    QVERIFY(!conexao.isConnected());
    QCOMPARE(conexao.connect(), connects);
    QCOMPARE(conexao.isConnected(), connects);
    QVERIFY(conexao.close());
    QVERIFY(!conexao.isConnected());
    QVERIFY(conexao.close());
}

void TestDb::closeFinishesTheServerSession()
{
    auto conexao = TestSupport::connect();
    QVERIFY(conexao->isConnected());
    const std::string sessions = "select count(*) from pg_stat_activity where pid = "
                                 + std::to_string(PQbackendPID(conexao->handle()));
    QCOMPARE(TestSupport::scalar(sessions), std::string("1"));
    conexao->close();
    QVERIFY(!conexao->isConnected());
    QTRY_COMPARE(TestSupport::scalar(sessions), std::string("0"));
    conexao.reset();
}

void TestDb::statementsThatSucceed_data()
{
    QTest::addColumn<std::string>("sql");
    QTest::addColumn<int>("status");
    QTest::newRow("query without rows")
        << std::string("select id from treino where false") << int(PGRES_TUPLES_OK);
    QTest::newRow("update without rows")
        << std::string("update treino set nome='x' where false") << int(PGRES_COMMAND_OK);
}

void TestDb::statementsThatSucceed()
{
    QFETCH(std::string, sql);
    QFETCH(int, status);
    auto conexao = TestSupport::connect();
    const TestSupport::CoutCapture out;
    const ResultPtr result(executeQuery(conexao.get(), sql));
    QVERIFY(result);
    QCOMPARE(int(PQresultStatus(result.get())), status);
    QCOMPARE(rowCount(result.get()), 0);
    QCOMPARE(out.text(), std::string());
    QCOMPARE(conexao->failedStatements(), 0);
}

void TestDb::failedStatementPrintsItsSql_data()
{
    QTest::addColumn<std::string>("sql");
    QTest::newRow("syntax error") << std::string("selec id from treino");
    QTest::newRow("missing table") << std::string("select * from nao_existe");
    QTest::newRow("empty statement") << std::string();
}

void TestDb::failedStatementPrintsItsSql()
{
    QFETCH(std::string, sql);
    auto conexao = TestSupport::connect();
    {
        const TestSupport::CoutCapture out;
        QVERIFY(!executeQuery(conexao.get(), sql));
        QCOMPARE(out.text(), sql + "\n");
    }
    QCOMPARE(conexao->failedStatements(), 1);
    QVERIFY(conexao->isConnected());
    const ResultPtr next(executeQuery(conexao.get(), "select 1"));
    QCOMPARE(getInt(next.get(), 0, 0), 1);
}

void TestDb::statementWithoutConnectionFails_data()
{
    QTest::addColumn<std::string>("state");
    QTest::newRow("never connected") << std::string("created");
    QTest::newRow("failed to connect") << std::string("failed");
    QTest::newRow("closed") << std::string("closed");
}

void TestDb::statementWithoutConnectionFails()
{
    QFETCH(std::string, state);
    DatabaseConnection conexao("quorbel", state == "failed" ? "tarnak" : "tarnek", "BDQuorbel",
                               TestSupport::hostaddr(), TestSupport::port());
    if (state != "created")
        QCOMPARE(conexao.connect(), state == "closed");
    if (state == "closed")
        conexao.close();
    const TestSupport::CoutCapture out;
    QVERIFY(!executeQuery(&conexao, "select 1"));
    QCOMPARE(out.text(), std::string("select 1\n"));
    QCOMPARE(conexao.failedStatements(), 1);
}

void TestDb::gettersReadCells()
{
    auto conexao = TestSupport::connect();
    const ResultPtr result(executeQuery(
        conexao.get(), "select 42, true, false, 1700000000::bigint, 'São Paulo – ação ✓', "
                       "-2147483648, null::text, null::int, null::bool"));
    const TestSupport::CoutCapture out;
    QCOMPARE(getInt(result.get(), 0, 0), 42);
    QCOMPARE(getBool(result.get(), 0, 1), true);
    QCOMPARE(getBool(result.get(), 0, 2), false);
    QCOMPARE(getLong(result.get(), 0, 3), 1700000000L);
    QCOMPARE(getString(result.get(), 0, 4), std::string("São Paulo – ação ✓"));
    QCOMPARE(getInt(result.get(), 0, 5), INT_MIN);
    QCOMPARE(getString(result.get(), 0, 6), std::string());
    QCOMPARE(getInt(result.get(), 0, 7), 0);
    QCOMPARE(getBool(result.get(), 0, 8), false);
    QCOMPARE(out.text(), std::string());
}

void TestDb::missingCellPrintsAndGivesDefault_data()
{
    QTest::addColumn<QString>("getter");
    QTest::addColumn<bool>("noResult");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<std::string>("line");
    QTest::addColumn<QString>("value");
    QTest::newRow("int, row past the end") << "int" << false << 5 << 0
                                           << kMissing + " (row: 5, col:0)" << "-1";
    QTest::newRow("int, no result") << "int" << true << 0 << 0 << kMissing + " (row: 0, col:0)"
                                    << "-1";
    QTest::newRow("bool, column past the end") << "bool" << false << 0 << 7
                                               << kMissing + "bool:0,7" << "false";
    QTest::newRow("long, row just past the end") << "long" << false << 3 << 1
                                                 << kMissing + "long:3,1" << "-1";
    QTest::newRow("long, no result") << "long" << true << 2 << 3 << kMissing + "long:2,3" << "-1";
    QTest::newRow("string, no result") << "string" << true << 0 << 1 << kMissing + "string:0,1"
                                       << "";
    QTest::newRow("string, column just past the end") << "string" << false << 2 << 4
                                                      << kMissing + "string:2,4" << "";
}

void TestDb::missingCellPrintsAndGivesDefault()
{
    QFETCH(QString, getter);
    QFETCH(bool, noResult);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(std::string, line);
    QFETCH(QString, value);
    auto conexao = TestSupport::connect();
    // Three rows of four columns.
    const ResultPtr result(noResult ? nullptr
                                    : executeQuery(conexao.get(),
                                                   "select g, g > 1, g * 10, 'x' || g "
                                                   "from generate_series(1, 3) g"));
    QCOMPARE(result == nullptr, noResult);
    const TestSupport::CoutCapture out;
    QString got;
    if (getter == "int")
        got = QString::number(getInt(result.get(), row, col));
    else if (getter == "bool")
        got = getBool(result.get(), row, col) ? "true" : "false";
    else if (getter == "long")
        got = QString::number(getLong(result.get(), row, col));
    else
        got = QString::fromStdString(getString(result.get(), row, col));
    QCOMPARE(got, value);
    QCOMPARE(out.text(), line + "\n");
}

void TestDb::stringToBool_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<bool>("expected");
    for (const char *yes : {"t", "true"})
        QTest::newRow(yes) << std::string(yes) << true;
    for (const char *no : {"f", "false", "T", "True", "TRUE", "1", "", " t", "t ", "true ", "tr"})
        QTest::newRow(qPrintable(QString("\"%1\"").arg(no))) << std::string(no) << false;
}

void TestDb::stringToBool()
{
    QFETCH(std::string, text);
    QFETCH(bool, expected);
    QCOMPARE(::stringToBool(text), expected);
}

void TestDb::stringToNumber_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<qlonglong>("asLong");
    QTest::newRow("digits") << std::string("42") << 42 << 42LL;
    QTest::newRow("leading blanks") << std::string(" \t 42") << 42 << 42LL;
    QTest::newRow("minus") << std::string("-17") << -17 << -17LL;
    QTest::newRow("plus") << std::string("+8") << 8 << 8LL;
    QTest::newRow("digits then letters") << std::string("12abc") << 12 << 12LL;
    QTest::newRow("empty") << std::string() << 0 << 0LL;
    QTest::newRow("letters") << std::string("abc") << 0 << 0LL;
    QTest::newRow("sign alone") << std::string("-") << 0 << 0LL;
    QTest::newRow("int maximum") << std::string("2147483647") << INT_MAX << 2147483647LL;
    QTest::newRow("int minimum") << std::string("-2147483648") << INT_MIN << -2147483648LL;
    QTest::newRow("above int") << std::string("2147483648") << 0
                               << (sizeof(long) > 4 ? 2147483648LL : 0LL);
    QTest::newRow("above long") << std::string("99999999999999999999") << 0 << 0LL;
    QTest::newRow("below long") << std::string("-99999999999999999999") << 0 << 0LL;
}

void TestDb::stringToNumber()
{
    QFETCH(std::string, text);
    QFETCH(int, asInt);
    QFETCH(qlonglong, asLong);
    QCOMPARE(stringToInt(text), asInt);
    QCOMPARE(qlonglong(stringToLong(text)), asLong);
}

void TestDb::numberToString()
{
    QCOMPARE(intToString(0), std::string("0"));
    QCOMPARE(intToString(-7), std::string("-7"));
    QCOMPARE(intToString(INT_MIN), std::string("-2147483648"));
    QCOMPARE(longToString(1700000000L), std::string("1700000000"));
    QCOMPARE(longToString(-1L), std::string("-1"));
}

void TestDb::toSqlValue_data()
{
    QTest::addColumn<SqlValue>("value");
    QTest::addColumn<int>("kind");
    QTest::addColumn<std::string>("expected");
    const int text = int(SqlValueKind::Text);
    QTest::newRow("text") << SqlValue(std::string("São Paulo")) << text
                          << std::string("'São Paulo'");
    QTest::newRow("text with quote") << SqlValue(std::string("D'Ávila")) << text
                                     << std::string("'D''Ávila'");
    QTest::newRow("only quotes") << SqlValue(std::string("''")) << text << std::string("''''''");
    QTest::newRow("empty text") << SqlValue(std::string()) << text << std::string("''");
    QTest::newRow("true") << SqlValue(true) << int(SqlValueKind::Bool) << std::string("true");
    QTest::newRow("false") << SqlValue(false) << int(SqlValueKind::Bool) << std::string("false");
    QTest::newRow("int") << SqlValue(-7) << int(SqlValueKind::Int) << std::string("-7");
    QTest::newRow("long") << SqlValue(1700000000L) << int(SqlValueKind::Long)
                          << std::string("1700000000");
    QTest::newRow("kind 9") << SqlValue(-7) << 9 << std::string();
    QTest::newRow("int taken as text") << SqlValue(5) << text << std::string();
    QTest::newRow("text taken as bool") << SqlValue(std::string("true"))
                                        << int(SqlValueKind::Bool) << std::string();
    QTest::newRow("int taken as long") << SqlValue(5) << int(SqlValueKind::Long) << std::string();
}

void TestDb::toSqlValue()
{
    QFETCH(SqlValue, value);
    QFETCH(int, kind);
    QFETCH(std::string, expected);
    QCOMPARE(::toSqlValue(value, static_cast<SqlValueKind>(kind)), expected);
}

void TestDb::formatDuration_data()
{
    QTest::addColumn<long>("seconds");
    QTest::addColumn<std::string>("expected");
    QTest::newRow("zero") << 0L << std::string("00:00:00");
    QTest::newRow("59 s") << 59L << std::string("00:00:59");
    QTest::newRow("1 min") << 60L << std::string("00:01:00");
    QTest::newRow("1 h 1 min 1 s") << 3661L << std::string("01:01:01");
    QTest::newRow("10 h") << 36000L << std::string("10:00:00");
    QTest::newRow("day less 1 s") << 86399L << std::string("23:59:59");
    QTest::newRow("100 h") << 360000L << std::string("100:00:00");
    QTest::newRow("negative") << -5L << std::string("-00:00:05");
}

void TestDb::formatDuration()
{
    QFETCH(long, seconds);
    QFETCH(std::string, expected);
    QCOMPARE(::formatDuration(seconds), expected);
}

void TestDb::entityRoundTrip()
{
    QVERIFY(TestSupport::resetTables());
    QVERIFY(TestSupport::exec("select setval('treino_id_seq', 6)"));
    auto conexao = TestSupport::connect();
    std::vector<std::string> sent;
    conexao->setStatementObserver([&sent](const std::string &sql) { sent.push_back(sql); });

    TreinoDeTeste treino(conexao.get());
    QCOMPARE(treino.getId(), -1);
    QVERIFY(treino.save());
    QCOMPARE(treino.getId(), 7);
    QVERIFY(treino.save());
    treino.nome = "Maçã";
    treino.ativo = false;
    treino.numClassificacoes = 5;
    QVERIFY(treino.save());
    QCOMPARE(TestSupport::scalar("select nome || ativo || diretorio || num_classificacoes "
                                 "from treino where id = 7"),
             std::string("MaçãfalseC:/x5"));
    {
        const ResultPtr row(executeQuery(conexao.get(), "select nome,ativo,diretorio,"
                                                        "num_classificacoes from treino where id=7"));
        TreinoDeTeste lido(conexao.get());
        lido.loadFromRow(row.get());
        QCOMPARE(lido.nome, std::string("Maçã"));
        QCOMPARE(lido.ativo, false);
        QCOMPARE(lido.diretorio, std::string("C:/x"));
        QCOMPARE(lido.numClassificacoes, 5);
        QCOMPARE(lido.getId(), -1);
    }
    QVERIFY(treino.remove());
    QCOMPARE(treino.getId(), 7);
    QCOMPARE(TestSupport::scalar("select count(*) from treino"), std::string("0"));
    QVERIFY(treino.remove());
    treino.setId(999);
    QVERIFY(treino.save());

    const std::vector<std::string> expected = {
        "insert into treino (nome,ativo,diretorio,num_classificacoes) "
        "values('Uva',true,'C:/x',2) returning id",
        "update treino set nome='Uva',ativo=true,diretorio='C:/x',num_classificacoes=2 where id=7",
        "update treino set nome='Maçã',ativo=false,diretorio='C:/x',num_classificacoes=5 "
        "where id=7",
        "select nome,ativo,diretorio,num_classificacoes from treino where id=7",
        "delete from treino where id=7",
        "delete from treino where id=7",
        "update treino set nome='Maçã',ativo=false,diretorio='C:/x',num_classificacoes=5 "
        "where id=999",
    };
    QCOMPARE(sent, expected);
    QCOMPARE(conexao->failedStatements(), 0);
}

void TestDb::quoteInTextIsStoredIntact()
{
    QVERIFY(TestSupport::resetTables());
    auto conexao = TestSupport::connect();
    std::vector<std::string> sent;
    conexao->setStatementObserver([&sent](const std::string &sql) { sent.push_back(sql); });
    TreinoDeTeste treino(conexao.get());
    treino.nome = "D'Ávila";
    treino.diretorio = "C:/x'; drop table treino; --";
    QVERIFY(treino.save());
    QCOMPARE(treino.getId(), 1);
    QCOMPARE(sent, std::vector<std::string>{
                       "insert into treino (nome,ativo,diretorio,num_classificacoes) "
                       "values('D''Ávila',true,'C:/x''; drop table treino; --',2) returning id"});
    QCOMPARE(TestSupport::scalar("select nome from treino where id = 1"), std::string("D'Ávila"));
    QCOMPARE(TestSupport::scalar("select diretorio from treino where id = 1"), treino.diretorio);
}

void TestDb::buildersUseTheGivenCount()
{
    QVERIFY(TestSupport::resetTables());
    auto conexao = TestSupport::connect();
    std::vector<std::string> sent;
    conexao->setStatementObserver([&sent](const std::string &sql) { sent.push_back(sql); });
    int id = -1;
    QVERIFY(insertEntity(conexao.get(), "numero_classificacao_treino", &id,
                         {"id_treino", "num_classificacao", "num_fotos"}, {"7", "0", "12"}, 3));
    QCOMPARE(id, 1);
    QVERIFY(insertEntity(conexao.get(), "treino", &id, {"nome", "ativo"}, {"'A'", "false"}, 1));
    QCOMPARE(id, 1);
    QVERIFY(updateEntity(conexao.get(), "treino", {"nome", "ativo"}, {"'B'", "false"}, 1, id));
    QCOMPARE(TestSupport::scalar("select nome || ativo from treino"), std::string("Btrue"));
    QCOMPARE(sent, (std::vector<std::string>{
                       "insert into numero_classificacao_treino "
                       "(id_treino,num_classificacao,num_fotos) values(7,0,12) returning id",
                       "insert into treino (nome) values('A') returning id",
                       "update treino set nome='B' where id=1"}));
}

void TestDb::failedWritesReturnFalse()
{
    auto conexao = TestSupport::connect();
    TreinoDeTeste treino(conexao.get(), "nao_existe");
    const std::string insert = "insert into nao_existe (nome,ativo,diretorio,num_classificacoes) "
                               "values('Uva',true,'C:/x',2) returning id";
    {
        const TestSupport::CoutCapture out;
        QVERIFY(!treino.save());
        QCOMPARE(out.text(), insert + "\n" + kMissing + " (row: 0, col:0)\n");
    }
    QCOMPARE(treino.getId(), -1);
    treino.setId(3);
    {
        const TestSupport::CoutCapture out;
        QVERIFY(!treino.save());
        QVERIFY(!treino.remove());
        QCOMPARE(out.text(), "update nao_existe set nome='Uva',ativo=true,diretorio='C:/x',"
                             "num_classificacoes=2 where id=3\n"
                             "delete from nao_existe where id=3\n");
    }
    QCOMPARE(treino.getId(), 3);
    QCOMPARE(conexao->failedStatements(), 3);
}

void TestDb::interruptStopsRunningStatement()
{
    auto conexao = TestSupport::connect();
    bool sawItRunning = false;
    std::thread other([&] {
        sawItRunning = waitUntilActive(*conexao);
        conexao->interrupt();
    });
    const TestSupport::CoutCapture out;
    const ResultPtr result(executeQuery(conexao.get(), "select pg_sleep(30)"));
    other.join();
    QVERIFY(sawItRunning);
    QVERIFY(!result);
    QVERIFY(conexao->isInterrupted());
    QVERIFY(!executeQuery(conexao.get(), "select 1"));
    conexao->clearInterruption();
    QVERIFY(!conexao->isInterrupted());
    const ResultPtr after(executeQuery(conexao.get(), "select 1"));
    QCOMPARE(getInt(after.get(), 0, 0), 1);
    QCOMPARE(out.text(), std::string("select pg_sleep(30)\nselect 1\n"));
    QCOMPARE(conexao->failedStatements(), 2);
}

void TestDb::interruptBeforeStatementFailsAtOnce()
{
    auto conexao = TestSupport::connect();
    conexao->interrupt();
    const TestSupport::CoutCapture out;
    QVERIFY(!executeQuery(conexao.get(), "select pg_sleep(30)"));
    QCOMPARE(out.text(), std::string("select pg_sleep(30)\n"));
    QCOMPARE(conexao->failedStatements(), 1);
    QVERIFY(conexao->isConnected());
}

void TestDb::statementLeftBehindIsCollected()
{
    // The statement swallows the cancel and keeps the server busy a while
    // longer, so the interrupted call returns without its result.
    auto conexao = TestSupport::connect();
    std::thread other([&] {
        waitUntilActive(*conexao);
        conexao->interrupt();
    });
    const TestSupport::CoutCapture out;
    const ResultPtr result(executeQuery(
        conexao.get(), "do $$ begin perform pg_sleep(30); "
                       "exception when query_canceled then perform pg_sleep(4); end $$"));
    other.join();
    QVERIFY(!result);
    conexao->clearInterruption();
    const auto works = [&conexao] {
        const ResultPtr r(executeQuery(conexao.get(), "select 1"));
        return getInt(r.get(), 0, 0) == 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(works(), 20000);
}

QTEST_GUILESS_MAIN(TestDb)
#include "tst_db.moc"
