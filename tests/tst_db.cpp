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
Q_DECLARE_METATYPE(S)

namespace QTest {
template <>
char *toString(const S &text)
{
    return QTest::toString(QString::fromStdString(text));
}
} // namespace QTest

const S kMissing = "Não foi possivel recuperar resultado do banco de dados.";

class TestDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_DATABASE(); }

    void connecting_data()
    {
        QTest::addColumn<S>("password");
        QTest::addColumn<S>("written"); // as the connection text holds it
        QTest::addColumn<bool>("connects");
        QTest::newRow("ordinary: unchanged") << S("tarnek") << S("tarnek") << true;
        QTest::newRow("wrong, empty") << S() << S("''") << false;
        QTest::newRow("wrong, blank") << S("a b") << S("'a b'") << false;
        QTest::newRow("wrong, quote") << S("a'b") << S("'a\\'b'") << false;
        QTest::newRow("wrong, backslash") << S("a\\b") << S("'a\\\\b'") << false;
    }
    void connecting()
    {
        QFETCH(S, password);
        QFETCH(S, written);
        QFETCH(bool, connects);
        const S port = TestSupport::port();
        DatabaseConnection conexao("quorbel", password, "BDQuorbel", "127.0.0.1", port);
        const S tail = " dbname=BDQuorbel hostaddr=127.0.0.1 port=" + port;
        QCOMPARE(conexao.connectionString(), "user=quorbel password=" + written + tail);
        QCOMPARE(conexao.connect(), connects);
        QCOMPARE(conexao.isConnected(), connects);
        // A syntax error, and any statement after close, fails and prints its SQL.
        const TestSupport::CoutCapture out;
        QVERIFY(!executeQuery(&conexao, "selec id from treino"));
        QVERIFY(conexao.close());
        QVERIFY(!conexao.isConnected());
        QVERIFY(!executeQuery(&conexao, "select 1"));
        QCOMPARE(out.text(), S("selec id from treino\nselect 1\n"));
        QCOMPARE(conexao.failedStatements(), 2);
    }

    void getters()
    {
        auto conexao = TestSupport::connect();
        const ResultPtr r(executeQuery(conexao.get(), "select 1"));
        const TestSupport::CoutCapture out;
        QCOMPARE(getInt(r.get(), 5, 0), -1);
        QCOMPARE(getBool(r.get(), 0, 7), false);
        QCOMPARE(getLong(r.get(), 3, 1), -1L);
        QCOMPARE(getString(r.get(), 2, 4), S());
        QCOMPARE(out.text(), kMissing + " (row: 5, col:0)\n" + kMissing + "bool:0,7\n" + kMissing
                                 + "long:3,1\n" + kMissing + "string:2,4\n");
    }

    void conversions_data()
    {
        QTest::addColumn<S>("actual");
        QTest::addColumn<S>("expected");
        const auto row = [](const char *tag, S actual, S expected) {
            QTest::newRow(tag) << actual << expected;
        };
        const S quoted = toSqlValue(S("D'Ávila''"), SqlValueKind::Text);
        row("stringToBool t", stringToBool("t") ? "true" : "false", "true");
        row("stringToBool TRUE", stringToBool("TRUE") ? "true" : "false", "false");
        row("stringToInt digits then letters", std::to_string(stringToInt("-12ab")), "-12");
        row("stringToInt above int", std::to_string(stringToInt("2147483648")), "0");
        row("stringToLong above int", std::to_string(stringToLong("2147483648")), "2147483648");
        row("toSqlValue text, quotes doubled", quoted, "'D''Ávila'''''");
        row("toSqlValue bool", toSqlValue(false, SqlValueKind::Bool), "false");
        row("toSqlValue long", toSqlValue(17000000000L, SqlValueKind::Long), "17000000000");
        row("toSqlValue int as text", toSqlValue(5, SqlValueKind::Text), "");
        row("formatDuration 3661", formatDuration(3661), "01:01:01");
        row("formatDuration 360000", formatDuration(360000), "100:00:00");
        row("formatDuration -5", formatDuration(-5), "-00:00:05");
    }
    void conversions()
    {
        QFETCH(S, actual);
        QFETCH(S, expected);
        QCOMPARE(actual, expected);
    }

    void entityBuilders()
    {
        QVERIFY(TestSupport::resetTables());
        auto conexao = TestSupport::connect();
        QStringList sent;
        conexao->setStatementObserver([&](const S &sql) { sent << QString::fromStdString(sql); });
        int id = -1;
        const S nome = toSqlValue(S("D'Ávila"), SqlValueKind::Text);
        QVERIFY(insertEntity(conexao.get(), "treino", &id, {"nome", "ativo"}, {nome, "true"}, 2));
        QCOMPARE(TestSupport::scalar("select nome from treino where id=1"), S("D'Ávila"));
        QVERIFY(updateEntity(conexao.get(), "treino", {"nome", "num_classificacoes"},
                             {"'Uva'", "5"}, 2, id));
        QVERIFY(deleteEntity(conexao.get(), "treino", id));
        QCOMPARE(sent, QStringList({"insert into treino (nome,ativo) values('D''Ávila',true) "
                                    "returning id",
                                    "update treino set nome='Uva',num_classificacoes=5 where id=1",
                                    "delete from treino where id=1"}));
        const TestSupport::CoutCapture out;
        QVERIFY(!insertEntity(conexao.get(), "nao_existe", &id, {"nome"}, {"'Uva'"}, 1));
        QCOMPARE(id, -1);
        QCOMPARE(out.text(), "insert into nao_existe (nome) values('Uva') returning id\n" + kMissing
                                 + " (row: 0, col:0)\n");
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
