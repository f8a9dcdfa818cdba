// relatorio-cli as a scheduled run uses it, against the test server. Each case is a shell
// line where `cli` runs the program with the period $i to $f, the test directory and the test
// server (a later option overrides an earlier one), and `prog` runs it bare.

#include "tests/testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
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
        const auto [linha, sinal, mudo, status, texto, arquivo]
            = TestSupport::celulas("linha", "sinal", "mudo", "status", "texto", "arquivo");
        if (linha.contains("setpriv") && geteuid() != 0)
            QSKIP("only root can run the program as another user here");
        const bool trava = !sinal.isEmpty();
        int parado = 0; // a backend stopped by the test
        const auto soltar = qScopeGuard([&] {
            if (parado)
                ::kill(parado, SIGCONT);
            if (trava)
                TestSupport::exec("rollback");
        });
        if (trava)
            QVERIFY(TestSupport::exec("begin; lock table evento_muda in access exclusive mode"));
        QProcess processo;
        iniciar(processo, QString::fromUtf8(linha));
        int pid = 0;
        if (trava)
            QTRY_VERIFY_WITH_TIMEOUT((pid = TestSupport::backendEsperandoTrava()) > 0, 20000);
        // Should the program wait for it, the test would end only at CTest's timeout.
        if (mudo == "1")
            ::kill(parado = pid, SIGSTOP);
        if (sinal.toInt())
            ::kill(static_cast<pid_t>(processo.processId()), sinal.toInt());
        QVERIFY(processo.waitForFinished(60000));
        const QString saida
            = QString::fromUtf8(processo.readAllStandardOutput() + processo.readAllStandardError());
        QCOMPARE(processo.exitStatus() == QProcess::NormalExit
                     ? QByteArray::number(processo.exitCode())
                     : QByteArray("killed"),
                 status);
        QVERIFY2(saida.contains(QString::fromUtf8(texto)), qPrintable(saida));
        QCOMPARE(saida.contains("Uso: "), status == "2");
        const QString restantes = TestSupport::entradas(pasta->path() + "/out").join('/');
        const auto nomes = QRegularExpression::wildcardToRegularExpression(QString(arquivo));
        QVERIFY2(QRegularExpression(nomes).match(restantes).hasMatch(), qPrintable(restantes));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
