// The database layer against the test server: connection, statements, typed
// cells, conversions, the entity builders and interruption of a statement.

#include "db/databaseconnection.h"
#include "db/genericentity.h"
#include "db/queryresult.h"
#include "tests/testsupport.h"

#include <QTest>

#include <chrono>
#include <thread>

using S = std::string;

const S kMissing = "Não foi possivel recuperar resultado do banco de dados.";

class TestDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_DATABASE(); }

    void connecting_data() { TestSupport::tabela("senhas.tsv"); }
    void connecting()
    {
        const auto [endereco, senha, escrita, conecta]
            = TestSupport::celulas("endereco", "senha", "escrita", "conecta");
        const S address = endereco.isEmpty() ? "" : TestSupport::hostaddr();
        const bool connects = conecta == "1";
        qputenv("PGHOST", "127.0.0.1");
        const S port = TestSupport::port();
        DatabaseConnection conexao("quorbel", senha.toStdString(), "BDQuorbel", address, port);
        QCOMPARE(conexao.connectionString(),
                 "user=quorbel password=" + escrita.toStdString() + " dbname=BDQuorbel hostaddr="
                     + (address.empty() ? "''" : address) + " port=" + port);
        QCOMPARE(conexao.connect(), connects);
        QCOMPARE(conexao.isConnected(), connects);
        QCOMPARE(conexao.backendPid() > 0, connects);
        // A syntax error, and any statement after close, fails and prints its SQL.
        const TestSupport::CoutCapture out;
        QVERIFY(!executeQuery(&conexao, "selec id from treino"));
        QVERIFY(conexao.close() && !conexao.isConnected());
        QVERIFY(!executeQuery(&conexao, "select 1"));
        QCOMPARE(out.text(), S("selec id from treino\nselect 1\n"));
        QCOMPARE(conexao.failedStatements(), 2);
    }

    void gettersAndBuilders()
    {
        auto conexao = TestSupport::connect();
        const ResultPtr r(executeQuery(conexao.get(), "select 1, null"));
        QVERIFY(isNull(r.get(), 0, 1) && !isNull(r.get(), 0, 0) && !isNull(r.get(), 1, 1));
        const TestSupport::CoutCapture out;
        QCOMPARE(getInt(r.get(), 5, 0), -1);
        QCOMPARE(getBool(r.get(), 0, 7), false);
        QCOMPARE(getLong(r.get(), 3, 1), -1L);
        QCOMPARE(getString(r.get(), 2, 4), S());
        // A failed insert gives no key.
        int id = 7;
        QVERIFY(!insertEntity(conexao.get(), "nao_existe", &id, {"nome"}, {"'Uva'"}, 1));
        QCOMPARE(id, -1);
        QCOMPARE(out.text(), kMissing + " (row: 5, col:0)\n" + kMissing + "bool:0,7\n" + kMissing
                                 + "long:3,1\n" + kMissing + "string:2,4\n"
                                 + "insert into nao_existe (nome) values('Uva') returning id\n"
                                 + kMissing + " (row: 0, col:0)\n");
    }

    void conversions()
    {
        QCOMPARE(stringToBool("t"), true);
        QCOMPARE(stringToBool("TRUE"), false);
        QCOMPARE(stringToInt("-12ab"), -12);    // digits, then letters
        QCOMPARE(stringToInt("2147483648"), 0); // above int
        // long has 64 bits here, 32 on Windows (LLP64), where it fits no more than int.
        if (sizeof(long) > sizeof(int))
            QCOMPARE(std::to_string(stringToLong("2147483648")), S("2147483648"));
        QCOMPARE(toSqlValue(S("D'Ávila''"), SqlValueKind::Text), S("'D''Ávila'''''"));
        QCOMPARE(toSqlValue(false, SqlValueKind::Bool), S("false"));
        QCOMPARE(toSqlValue(-2000000001L, SqlValueKind::Long), S("-2000000001"));
        QCOMPARE(toSqlValue(5, SqlValueKind::Text), S()); // an int given as text
        QCOMPARE(formatDuration(360000), S("100:00:00"));
        QCOMPARE(formatDuration(-3661), S("-01:01:01"));
        // An empty PGCONNECT_TIMEOUT counts as unset: libpq would refuse it.
        qputenv("PGCONNECT_TIMEOUT", "");
        definirTempoLimiteConexaoPadrao();
        QCOMPARE(qgetenv("PGCONNECT_TIMEOUT"), QByteArray("10"));
    }

    void interruption()
    {
        QVERIFY(TestSupport::exec("select pg_advisory_lock(4242)"));
        auto conexao = TestSupport::connect();
        const TestSupport::CoutCapture out;
        const S sleeping = "select count(*) from pg_stat_activity where wait_event = 'PgSleep' "
                           "and pid = "
                           + std::to_string(conexao->backendPid());
        // Interrupts from another thread once the server sleeps in the statement.
        const auto interrupted = [&](const S &sql) {
            bool slept = false;
            std::thread other([&] {
                for (int i = 0; i < 4000 && !(slept = TestSupport::scalar(sleeping) == "1"); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                conexao->interrupt();
            });
            const ResultPtr result(executeQuery(conexao.get(), sql));
            other.join();
            return slept && !result;
        };
        const auto works = [&] { return ResultPtr(executeQuery(conexao.get(), "select 1")); };
        QVERIFY(interrupted("select pg_sleep(30)"));
        QVERIFY(!works());
        conexao->clearInterruption();
        QVERIFY(works());
        // Swallows the cancel (the server may deliver it twice), then waits for
        // the lock the test holds: the interrupted call leaves it behind.
        QVERIFY(interrupted("do $$ begin begin perform pg_sleep(30); exception when query_canceled "
                            "then end; loop begin perform pg_advisory_lock(4242); exit; "
                            "exception when query_canceled then end; end loop; end $$"));
        conexao->clearInterruption();
        QVERIFY(!works());
        QVERIFY(TestSupport::exec("select pg_advisory_unlock(4242)"));
        QTRY_VERIFY_WITH_TIMEOUT(works(), 20000);
    }
};

QTEST_GUILESS_MAIN(TestDb)
#include "tst_db.moc"
