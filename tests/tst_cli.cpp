// relatorio-cli as a scheduled run uses it: the built program, run against the
// test server, its file, its exit statuses, its messages and its settings.

#include "db/databaseconnection.h"
#include "report/relatorio.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <memory>

namespace {

const QString kInicio = QStringLiteral("2015-03-01 08:00");
const QString kFim = QStringLiteral("2015-03-02 18:00:00");
const QString kNomeArquivo = QStringLiteral("Relatorio_2015-03-01_a_2015-03-02.xls");

std::string instante(const char *local)
{
    return std::string("extract(epoch from timestamptz '") + local + " -03')::int";
}

// One variety, one operator, one machine session and 14 events.
bool criarDados()
{
    return TestSupport::exec(
        "insert into treino (id, nome, num_classificacoes) values (1, 'Variedade 1', 5);"
        "insert into funcionario (id, nome) values (2, 'Operador 1');"
        "insert into sessao (id, id_funcionario, instante_inicial, instante_final, sensor, "
        "id_treino) values "
        "(1, 1, " + instante("2015-03-01 08:10") + ", " + instante("2015-03-01 13:40") + ", 0, 1),"
        "(2, 2, " + instante("2015-03-01 08:30") + ", " + instante("2015-03-01 13:30") + ", 0, 1);"
        "insert into evento_muda (id_sessao, id_treino, classificacao, instante) "
        "select 2, 1, i % 5, " + instante("2015-03-01 09:00") + " + i from generate_series(1, 14) i");
}

QByteArray lerArquivo(const QString &caminho)
{
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::ReadOnly))
        return QByteArray("<no file>");
    return arquivo.readAll();
}

// A port on 127.0.0.1 where nothing listens.
QString portaFechada()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in endereco = {};
    endereco.sin_family = AF_INET;
    endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t tamanho = sizeof endereco;
    bind(s, reinterpret_cast<sockaddr *>(&endereco), sizeof endereco);
    getsockname(s, reinterpret_cast<sockaddr *>(&endereco), &tamanho);
    ::close(s);
    return QString::number(ntohs(endereco.sin_port));
}

// Whether a statement of the report waits on a lock. The owner's connection
// sits in a transaction, which would otherwise keep showing its first view
// of the server's activity.
bool relatorioEsperaTrava()
{
    return TestSupport::exec("select pg_stat_clear_snapshot()")
           && TestSupport::scalar("select count(*) from pg_stat_activity where "
                                  "usename='quorbel' and wait_event_type='Lock'")
                  == "1";
}

struct Execucao
{
    int status = -1;
    QString saida;
    QString erros;
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void writesWhatTheJobWrites_data();
    void writesWhatTheJobWrites();
    void defaultsComeFromTheSettings();
    void notGenerated_data();
    void notGenerated();
    void badArguments_data();
    void badArguments();
    void helpAndVersion();
    void signalStopsTheReport_data();
    void signalStopsTheReport();

private:
    QStringList conexaoDeTeste() const;
    Execucao executar(const QStringList &argumentos, const QString &programa = QString());

    QString programa;
    QTemporaryDir configuracao;
    std::unique_ptr<QTemporaryDir> pasta;
};

void TestCli::initTestCase()
{
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    // The program and this test share a settings store of their own.
    QVERIFY(configuracao.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configuracao.path()));
    QCoreApplication::setOrganizationName("Quorbel");
    QCoreApplication::setApplicationName("RelatorioGerador");
    REQUIRE_DATABASE();
    programa = QCoreApplication::applicationDirPath() + "/../relatorio-cli";
    QVERIFY2(QFileInfo(programa).isExecutable(), qPrintable(programa));
}

void TestCli::init()
{
    QVERIFY(TestSupport::resetTables());
    QVERIFY(criarDados());
    pasta = std::make_unique<QTemporaryDir>();
    QVERIFY(pasta->isValid());
    QSettings().clear();
    QSettings().sync();
}

void TestCli::cleanup()
{
    pasta.reset();
}

QStringList TestCli::conexaoDeTeste() const
{
    return {"--endereco", QString::fromStdString(TestSupport::hostaddr()), "--porta",
            QString::fromStdString(TestSupport::port())};
}

Execucao TestCli::executar(const QStringList &argumentos, const QString &outro)
{
    QProcess processo;
    processo.start(outro.isEmpty() ? programa : outro, argumentos);
    Execucao execucao;
    if (!processo.waitForFinished(120000))
        return execucao;
    execucao.status = processo.exitStatus() == QProcess::NormalExit ? processo.exitCode() : -1;
    execucao.saida = QString::fromUtf8(processo.readAllStandardOutput());
    execucao.erros = QString::fromUtf8(processo.readAllStandardError());
    return execucao;
}

void TestCli::writesWhatTheJobWrites_data()
{
    QTest::addColumn<QStringList>("opcao");
    QTest::addColumn<bool>("separar");
    QTest::newRow("whole period") << QStringList() << false;
    QTest::newRow("separated sessions") << QStringList{"--separar-sessoes"} << true;
}

void TestCli::writesWhatTheJobWrites()
{
    QFETCH(QStringList, opcao);
    QFETCH(bool, separar);

    const Execucao execucao = executar(QStringList{"--inicio", kInicio, "--fim", kFim,
                                                   "--diretorio", pasta->path()}
                                       + conexaoDeTeste() + opcao);
    QCOMPARE(execucao.status, 0);
    QCOMPARE(execucao.saida, QString());
    const QString caminho = pasta->path() + "/" + kNomeArquivo;
    QVERIFY2(execucao.erros.contains(caminho), qPrintable(execucao.erros));
    // Not a terminal: no progress line.
    QVERIFY(!execucao.erros.contains("Gerando"));

    // The same job in this process, with bounds in the same local time.
    QTemporaryDir outra;
    const std::unique_ptr<DatabaseConnection> conexao = TestSupport::connect();
    Relatorio relatorio;
    relatorio.configurar(conexao.get(), QDateTime(QDate(2015, 3, 1), QTime(8, 0)),
                         QDateTime(QDate(2015, 3, 2), QTime(18, 0)), 5,
                         outra.path().toStdString(), separar);
    QVERIFY(relatorio.gerar());
    const QByteArray esperado = lerArquivo(outra.path() + "/" + kNomeArquivo);
    QVERIFY(esperado.contains("\r\nOperador 1\t"));
    QCOMPARE(lerArquivo(caminho), esperado);
}

void TestCli::defaultsComeFromTheSettings()
{
    {
        QSettings configuracoes;
        configuracoes.setValue("DIRETORIO", pasta->path());
        configuracoes.setValue("BD_ADDR", QString::fromStdString(TestSupport::hostaddr()));
        configuracoes.setValue("5432", QString::fromStdString(TestSupport::port()));
    }
    const Execucao execucao = executar({"--inicio", kInicio, "--fim", kFim});
    QVERIFY2(execucao.status == 0, qPrintable(execucao.erros));
    QVERIFY(lerArquivo(pasta->path() + "/" + kNomeArquivo).contains("\r\nVariedade 1\r\n"));
}

void TestCli::notGenerated_data()
{
    QTest::addColumn<QString>("caso");
    QTest::addColumn<QString>("inicio");
    QTest::addColumn<QString>("fim");
    QTest::addColumn<QString>("naSaida");

    QTest::newRow("start equal to end") << "" << kInicio << "2015-03-01 08:00:00" << "";
    QTest::newRow("end before start") << "" << kFim << kInicio << "";
    QTest::newRow("missing directory") << "diretorio" << kInicio << kFim
                                       << "Falha ao abrir o arquivo do relatorio: ";
    QTest::newRow("nothing listens") << "porta" << kInicio << kFim << "";
    QTest::newRow("a statement fails") << "tabela" << kInicio << kFim << "select ";
    QTest::newRow("file size limit") << "limite" << kInicio << kFim << "";
}

void TestCli::notGenerated()
{
    QFETCH(QString, caso);
    QFETCH(QString, inicio);
    QFETCH(QString, fim);
    QFETCH(QString, naSaida);

    QString diretorio = pasta->path();
    if (caso == "diretorio")
        diretorio += "/nao-existe";
    QStringList argumentos = QStringList{"--inicio", inicio, "--fim", fim, "--diretorio", diretorio}
                             + conexaoDeTeste();
    if (caso == "porta")
        argumentos.last() = portaFechada();
    if (caso == "tabela")
        QVERIFY(TestSupport::exec("alter table sessao rename to sessao_fora"));
    QString outro;
    if (caso == "limite") {
        // SIGXFSZ ignored: writes past the limit fail with EFBIG instead.
        argumentos.prepend(programa);
        argumentos.prepend("trap '' XFSZ; ulimit -f 0; exec \"$0\" \"$@\"");
        argumentos.prepend("-c");
        outro = "/bin/sh";
    }

    const Execucao execucao = executar(argumentos, outro);
    if (caso == "tabela")
        QVERIFY(TestSupport::exec("alter table sessao_fora rename to sessao"));
    QCOMPARE(execucao.status, 1);
    QVERIFY(!execucao.erros.isEmpty());
    if (naSaida.isEmpty())
        QCOMPARE(execucao.saida, QString());
    else
        QVERIFY2(execucao.saida.contains(naSaida), qPrintable(execucao.saida));
    if (caso.isEmpty() || caso == "porta")
        QVERIFY(QDir(pasta->path()).isEmpty());
}

void TestCli::badArguments_data()
{
    QTest::addColumn<QStringList>("argumentos");
    QTest::addColumn<QString>("mensagem");

    QTest::newRow("no arguments") << QStringList() << "informe o início e o fim";
    QTest::newRow("no end") << QStringList{"--inicio", kInicio} << "informe o início e o fim";
    QTest::newRow("end without value")
        << QStringList{"--inicio", kInicio, "--fim"} << "falta o valor da opção --fim";
    QTest::newRow("unknown option")
        << QStringList{"--inicio", kInicio, "--fim", kFim, "--separar"}
        << "opção desconhecida: --separar";
    QTest::newRow("date without time")
        << QStringList{"--inicio", "2015-03-01", "--fim", kFim} << "inválidas em --inicio";
    QTest::newRow("impossible date")
        << QStringList{"--inicio", "2015-02-30 08:00", "--fim", kFim} << "inválidas em --inicio";
    QTest::newRow("day first")
        << QStringList{"--inicio", kInicio, "--fim", "02/03/2015 18:00"} << "inválidas em --fim";
    QTest::newRow("host name")
        << QStringList{"--inicio", kInicio, "--fim", kFim, "--endereco", "localhost"}
        << "endereço IP inválido";
    QTest::newRow("port not a number")
        << QStringList{"--inicio", kInicio, "--fim", kFim, "--porta", "pg"} << "porta inválida";
    QTest::newRow("port out of range")
        << QStringList{"--inicio", kInicio, "--fim", kFim, "--porta", "70000"}
        << "porta inválida";
    QTest::newRow("stray argument")
        << QStringList{"--inicio", kInicio, "--fim", kFim, "relatorio.xls"}
        << "argumento inesperado";
}

void TestCli::badArguments()
{
    QFETCH(QStringList, argumentos);
    QFETCH(QString, mensagem);

    const Execucao execucao = executar(QStringList{"--diretorio", pasta->path()} + argumentos);
    QCOMPARE(execucao.status, 2);
    QVERIFY2(execucao.erros.contains(mensagem), qPrintable(execucao.erros));
    QVERIFY2(execucao.erros.contains("Uso: ") && execucao.erros.contains("--separar-sessoes"),
             qPrintable(execucao.erros));
    QCOMPARE(execucao.saida, QString());
    QVERIFY(QDir(pasta->path()).isEmpty());
}

void TestCli::helpAndVersion()
{
    const Execucao ajuda = executar({"--help"});
    QCOMPARE(ajuda.status, 0);
    for (const char *opcao : {"--inicio", "--fim", "--separar-sessoes", "--diretorio",
                              "--endereco", "--porta", "--version"})
        QVERIFY2(ajuda.saida.contains(opcao), opcao);

    const Execucao versao = executar({"--version"});
    QCOMPARE(versao.status, 0);
    QVERIFY2(versao.saida.startsWith("relatorio-cli "), qPrintable(versao.saida));
}

void TestCli::signalStopsTheReport_data()
{
    QTest::addColumn<int>("sinal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void TestCli::signalStopsTheReport()
{
    QFETCH(int, sinal);

    // The report's first count waits on this lock until the signal stops it.
    QVERIFY(TestSupport::exec("begin; lock table evento_muda in access exclusive mode"));
    QProcess processo;
    processo.start(programa, QStringList{"--inicio", kInicio, "--fim", kFim, "--diretorio",
                                         pasta->path()}
                                 + conexaoDeTeste());
    QVERIFY(processo.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(relatorioEsperaTrava(), 20000);
    ::kill(static_cast<pid_t>(processo.processId()), sinal);
    const bool terminou = processo.waitForFinished(30000);
    QVERIFY(TestSupport::exec("rollback"));
    QVERIFY(terminou);
    QCOMPARE(processo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(processo.exitCode(), 1);
    const QString erros = QString::fromUtf8(processo.readAllStandardError());
    QVERIFY2(erros.contains("interrompido"), qPrintable(erros));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
