// relatorio-cli as a scheduled run uses it, against the test server. Each case is a shell
// line where `cli` runs the program with a valid period, the test directory and the test
// server; a later option overrides an earlier one.

#include "tests/testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_DATABASE(); }
    void exitStatus_data();
    void exitStatus();
    void sigintStopsABlockedReport();

private:
    void iniciar(QProcess &processo, const QString &linha)
    {
        const QString cli = "prog=$0 dir=$1; cli() { exec \"$prog\" --inicio '2015-03-01 08:00' "
                            "--fim '2015-03-02 18:00:00' --diretorio \"$dir\" --endereco "
                            "\"$QUORBEL_TEST_HOSTADDR\" --porta \"$QUORBEL_TEST_PORT\" \"$@\"; }; ";
        processo.start("/bin/sh", {"-c", cli + linha,
                                   QCoreApplication::applicationDirPath() + "/../relatorio-cli",
                                   pasta.path()});
    }

    QTemporaryDir pasta;
};

void TestCli::exitStatus_data()
{
    QTest::addColumn<QString>("linha");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("texto"); // on stdout when the run succeeds, else on stderr

    QTest::newRow("0: report written, header first")
        << "(cli) && head -n 3 \"$dir\"/Relatorio_2015-03-01_a_2015-03-02.xls | iconv -f cp1252"
        << 0
        << "Período\tDia\tHora\r\nInício\t01/03/2015\t08:00:00\r\n"
           "Fim\t02/03/2015\t18:00:00\r\n";
    QTest::newRow("0: help") << "cli --help" << 0 << "--separar-sessoes";
    QTest::newRow("0: version") << "cli --version" << 0 << "relatorio-cli ";
    QTest::newRow("1: start equal to end")
        << "cli --fim '2015-03-01 08:00'" << 1 << "o início do período deve ser anterior ao fim";
    QTest::newRow("1: missing directory")
        << "cli --diretorio \"$dir/nao-existe\"" << 1 << "falha ao gerar o relatório";
    // Port 1 is served by nothing here, and no unprivileged process can take it.
    QTest::newRow("1: nothing listening") << "cli --porta 1" << 1 << "falha ao conectar";
    QTest::newRow("1: a statement fails")
        << "export PGOPTIONS='-c search_path=nenhum'; cli" << 1 << "falha ao gerar";
    // SIGXFSZ ignored: a write past the limit fails with EFBIG instead.
    QTest::newRow("1: file size limit")
        << "trap '' XFSZ; ulimit -f 0; cli" << 1 << "falha ao gerar";
    QTest::newRow("2: no period") << "exec \"$prog\"" << 2 << "informe o início e o fim";
    QTest::newRow("2: end without value") << "cli --fim" << 2 << "falta o valor da opção --fim";
    QTest::newRow("2: unknown option") << "cli --separar" << 2 << "opção desconhecida: --separar";
    QTest::newRow("2: impossible date")
        << "cli --inicio '2015-02-30 08:00'" << 2 << "inválidas em --inicio";
    QTest::newRow("2: day first") << "cli --fim '02/03/2015 18:00'" << 2 << "inválidas em --fim";
    QTest::newRow("2: host name") << "cli --endereco localhost" << 2 << "endereço IP inválido";
    QTest::newRow("2: port out of range") << "cli --porta 70000" << 2 << "porta inválida";
    QTest::newRow("2: stray argument") << "cli relatorio.xls" << 2 << "argumento inesperado";
}

void TestCli::exitStatus()
{
    QFETCH(QString, linha);
    QFETCH(int, status);
    QFETCH(QString, texto);
    QProcess processo;
    iniciar(processo, linha);
    QVERIFY(processo.waitForFinished(60000) && processo.exitStatus() == QProcess::NormalExit);
    QCOMPARE(processo.exitCode(), status);
    const QString erros = QString::fromUtf8(processo.readAllStandardError());
    const QString saida = QString::fromUtf8(processo.readAllStandardOutput());
    QVERIFY2((status == 0 ? saida : erros).contains(texto), qPrintable(saida + erros));
    QCOMPARE(erros.contains("Uso: "), status == 2);
}

void TestCli::sigintStopsABlockedReport()
{
    // The report's first count waits on this lock until the signal stops it.
    QVERIFY(TestSupport::exec("begin; lock table evento_muda in access exclusive mode"));
    QProcess processo;
    iniciar(processo, "cli");
    QTRY_VERIFY_WITH_TIMEOUT(
        TestSupport::scalar("select count(*) from pg_locks where not granted") == "1", 20000);
    ::kill(static_cast<pid_t>(processo.processId()), SIGINT);
    const bool terminou = processo.waitForFinished(30000);
    QVERIFY(TestSupport::exec("rollback"));
    QVERIFY(terminou && processo.exitStatus() == QProcess::NormalExit);
    QCOMPARE(processo.exitCode(), 1);
    QVERIFY(processo.readAllStandardError().contains("interrompido"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
