// relatorio-cli as a scheduled run uses it, against the test server. Each case is a shell
// line where `cli` runs the program with the period $i to $f, the test directory and the test
// server (a later option overrides an earlier one), and `prog` runs it bare.

#include "tests/testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <csignal>
#include <memory>

class TestCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> pasta;

    // Starts a shell line; settings of its own in $dir/config.
    void iniciar(QProcess &processo, const QString &linha)
    {
        const QString cli
            = "prog=$0 dir=$1; export XDG_CONFIG_HOME=$dir/config; i='2015-03-01 08:00' "
              "f='2015-03-02 18:00:00'; "
              "cli() { exec \"$prog\" --inicio \"$i\" --fim \"$f\" --diretorio \"$dir/out\" "
              "--endereco "
              "\"$QUORBEL_TEST_HOSTADDR\" --porta \"$QUORBEL_TEST_PORT\" \"$@\"; }; "
              "conf=$XDG_CONFIG_HOME/Quorbel/RelatorioGerador.conf; ";
        processo.start("/bin/sh", {"-c", cli + linha,
                                   QCoreApplication::applicationDirPath() + "/../relatorio-cli",
                                   pasta->path()});
    }

private slots:
    void initTestCase() { REQUIRE_DATABASE(); }

    void init()
    {
        pasta = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(pasta->path()).mkpath("out") && QDir(pasta->path()).mkpath("config"));
        QVERIFY(TestSupport::resetTables());
        QVERIFY(TestSupport::semear(QString::fromUtf8(TestSupport::dados("exemplo.sql"))));
    }

    void exitStatus_data() { TestSupport::tabela("cli-saidas.tsv"); }
    void exitStatus()
    {
        QFETCH(QByteArray, linha);
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, texto);
        QFETCH(QByteArray, arquivo);
        if (linha.contains("setpriv") && geteuid() != 0)
            QSKIP("only root can run the program as another user here");
        QProcess processo;
        iniciar(processo, QString::fromUtf8(linha));
        QVERIFY(processo.waitForFinished(60000) && processo.exitStatus() == QProcess::NormalExit);
        const QString saida
            = QString::fromUtf8(processo.readAllStandardOutput() + processo.readAllStandardError());
        QCOMPARE(processo.exitCode(), status.toInt());
        QVERIFY2(saida.contains(QString::fromUtf8(texto)), qPrintable(saida));
        QCOMPARE(saida.contains("Uso: "), status == "2");
        QCOMPARE(TestSupport::entradas(pasta->path() + "/out").join(""), arquivo);
    }

    // A report whose first count waits on a lock, stopped: nothing is left
    // but, after SIGKILL, a temporary file that no one takes for a report.
    // A report whose first count waits on a lock, stopped: nothing is left
    // but, after SIGKILL, a temporary file that no one takes for a report.
    void stopped_data() { TestSupport::tabela("cli-paradas.tsv"); }
    void stopped()
    {
        QFETCH(QByteArray, como);
        QFETCH(QByteArray, texto);
        struct Soltar
        {
            int pid = 0;
            ~Soltar()
            {
                if (pid)
                    ::kill(pid, SIGCONT);
                TestSupport::exec("rollback");
            }
        } soltar;
        QVERIFY(TestSupport::exec("begin; lock table evento_muda in access exclusive mode"));
        QProcess processo;
        iniciar(processo, como == "--tempo-limite" ? "cli --tempo-limite 1" : "cli");
        int pid = 0;
        QTRY_VERIFY_WITH_TIMEOUT((pid = TestSupport::backendEsperandoTrava()) > 0, 20000);
        if (QByteArray(QTest::currentDataTag()).contains("stopped answering")) {
            // Should the program wait for it, the test would end only at CTest's timeout.
            ::kill(pid, SIGSTOP);
            soltar.pid = pid;
        }
        const int sinal = como.startsWith("SIGINT")    ? SIGINT
                          : como.startsWith("SIGTERM") ? SIGTERM
                          : como == "SIGHUP"           ? SIGHUP
                          : como == "SIGKILL"          ? SIGKILL
                                                       : 0;
        if (sinal)
            ::kill(static_cast<pid_t>(processo.processId()), sinal);
        QVERIFY(processo.waitForFinished(30000));
        const QStringList restantes = TestSupport::entradas(pasta->path() + "/out");
        if (sinal == SIGKILL) {
            QCOMPARE(restantes.size(), 1);
            QVERIFY2(restantes[0].startsWith(".Relatorio_2015-03-01_a_2015-03-02.xls.")
                         && restantes[0].endsWith(".parcial"),
                     qPrintable(restantes[0]));
            return;
        }
        QCOMPARE(processo.exitStatus(), QProcess::NormalExit);
        QCOMPARE(processo.exitCode(), 1);
        QVERIFY(processo.readAllStandardError().contains(texto));
        QCOMPARE(restantes, QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
