// Faults and bad input the program must survive: a server that goes away,
// stops answering or never answers, revoked rights, unusable settings and
// output paths, awkward names and data. Every case ends in a correct report
// or a clear refusal, never a crash, a hang or a corrupt row.

#include "app/configuracoes.h"
#include "app/mainwindow.h"
#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "report/relatorio.h"
#include "screen/qledindicator.h"
#include "screen/telarelatorio.h"
#include "tests/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>

namespace {

const QString kFalha = "Aviso|Nossa! Não foi possível gerar o relatorio.\nPor favor, entre em "
                       "contato com seu fornecedor.";
const QString kSucesso = "Aviso|Relatório gerado com sucesso!";
const QString kNaoConectado = "Erro!|Não está conectado à máquina.";
const QString kSemConexao = "Falha ao conectar com banco de dados. Verifique se o endereço de IP "
                            "da máquina está correto.";
// 10 March 2015, 08:00 to 18:00; the tests run in UTC.
const QDateTime kInicio(QDate(2015, 3, 10), QTime(8, 0));
const QDateTime kFim(QDate(2015, 3, 10), QTime(18, 0));
const std::string kT0 = "1425974400";
// For a job or a server to get somewhere, sanitizers included.
constexpr int kEspera = 20000;

// Warnings of threads misused, such as a job destroyed while it runs.
std::mutex mutexAvisos;
QStringList avisosDeThread;
QtMessageHandler tratadorAnterior = nullptr;

void tratador(QtMsgType tipo, const QMessageLogContext &contexto, const QString &texto)
{
    if (texto.contains("thread", Qt::CaseInsensitive)) {
        const std::lock_guard<std::mutex> guarda(mutexAvisos);
        avisosDeThread << texto;
    }
    if (tratadorAnterior)
        tratadorAnterior(tipo, contexto, texto);
}

// First cell of a query run as the server's superuser outside any
// transaction, reconnecting after the server has been away.
std::string admin(const std::string &sql)
{
    static std::unique_ptr<PGconn, void (*)(PGconn *)> conn(nullptr, PQfinish);
    for (int tentativa = 0; tentativa < 2; ++tentativa) {
        if (!conn || PQstatus(conn.get()) != CONNECTION_OK)
            conn.reset(PQconnectdb(qgetenv("QUORBEL_TEST_ADMIN").constData()));
        const ResultPtr r(PQexec(conn.get(), sql.c_str()));
        if (PQresultStatus(r.get()) == PGRES_TUPLES_OK)
            return PQntuples(r.get()) > 0 ? PQgetvalue(r.get(), 0, 0) : "";
    }
    return std::string();
}

// The program's backend that waits on a lock, or 0.
int backendEsperando()
{
    return std::atoi(admin("select pid from pg_stat_activity where usename = 'quorbel' and "
                           "wait_event_type = 'Lock'").c_str());
}

QString conexoesDoPrograma()
{
    return QString::fromStdString(admin("select count(*) from pg_stat_activity where usename = "
                                        "'quorbel' and pid <> "
                                        + TestSupport::scalar("select pg_backend_pid()")));
}

// The sessions locked from the owner's connection: a report's first
// statement waits on the server.
struct Trava
{
    bool ok = TestSupport::exec("begin")
              && TestSupport::exec("lock table sessao in access exclusive mode");
    void soltar()
    {
        if (ok)
            TestSupport::exec("rollback");
        ok = false;
    }
    ~Trava() { soltar(); }
};

// A server process stopped (SIGSTOP) while this lives. Should the program
// wait for it, the test would end only at CTest's timeout.
struct Silencio
{
    explicit Silencio(int pid) : pid(pid) { ::kill(pid, SIGSTOP); }
    ~Silencio() { ::kill(pid, SIGCONT); }
    const int pid;
};

// A listener on 127.0.0.1 that lets connections in and never says a word.
struct OuvinteMudo
{
    OuvinteMudo()
    {
        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t tamanho = sizeof endereco;
        bind(fd, reinterpret_cast<sockaddr *>(&endereco), tamanho);
        listen(fd, 16);
        getsockname(fd, reinterpret_cast<sockaddr *>(&endereco), &tamanho);
        porta = QString::number(ntohs(endereco.sin_port));
    }
    ~OuvinteMudo() { ::close(fd); }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    QString porta;
};

// Runs its function however the test ends.
struct AoSair
{
    std::function<void()> funcao;
    ~AoSair() { funcao(); }
};

// PGCONNECT_TIMEOUT as it was before the test.
AoSair tempoLimiteGuardado()
{
    const bool definido = qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT");
    const QByteArray valor = qgetenv("PGCONNECT_TIMEOUT");
    return AoSair{[=] {
        definido ? qputenv("PGCONNECT_TIMEOUT", valor) : qunsetenv("PGCONNECT_TIMEOUT");
    }};
}

// Every message box the code under test opens, as "title|text", closed.
struct Caixas : QObject
{
    Caixas()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (auto *caixa = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                lista << caixa->windowTitle() + "|" + caixa->text();
                caixa->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(20);
    }
    QStringList lista;
    QTimer timer;
};

// The first row that breaks the file's shape, or an empty text. Every row
// ends in CR LF and holds the cells its label calls for; a name fills one
// cell, alone on its row or first in an employee's row.
QString defeito(const QByteArray &arquivo)
{
    static const QRegularExpression rotulos(QStringLiteral(
        "^([^\\t]*|Período\\tDia\\tHora|(Início|Fim)\\t\\d\\d/\\d\\d/\\d{4}\\t\\d\\d:\\d\\d:\\d\\d"
        "|(Sessão início:|Fim:)\\t\\d\\d/\\d\\d/\\d{4}\\t\\d\\d:\\d\\d"
        "|Tempo acumulado (da máquina|de funcionários)\\t-?\\d{2,}:\\d\\d:\\d\\d"
        "|Classe [A-E] produzidas\\t-?\\d+|Total produzido\\t -?\\d+)$"));
    static const QRegularExpression empregado(
        QStringLiteral("^[^\\t]*(\\t-?\\d+){6}\\t-?\\d{2,}:\\d\\d:\\d\\d$"));
    const QString cabecalho = QStringLiteral("Funcionário\tClasse A\tClasse B\tClasse C\tClasse D"
                                             "\tClasse E\tTotal\tHoras");
    if (!arquivo.endsWith("\r\n"))
        return "no CR LF at the end";
    bool tabela = false;
    for (const QString &linha : QString::fromLatin1(arquivo.chopped(2)).split("\r\n")) {
        if (linha.contains('\r') || linha.contains('\n'))
            return "line break inside a row: " + linha.left(60);
        if (linha == cabecalho || linha.isEmpty())
            tabela = !linha.isEmpty();
        else if (!(tabela ? empregado : rotulos).match(linha).hasMatch())
            return "malformed row: " + linha.left(60);
    }
    return QString();
}

// A text as a SQL literal, whatever it holds; null is NULL.
std::string literal(const QString &texto)
{
    return texto.isNull() ? "NULL" : "$nome$" + texto.toStdString() + "$nome$";
}

// One variety, one operator, a machine session 08:10-13:40 and an operator
// session 08:30-13:30 on 10 March 2015, with 14 events in both.
bool criarExemplo()
{
    return TestSupport::exec(
        "insert into treino (id, nome) values (1, 'Variedade 1');"
        "insert into funcionario (id, nome) values (2, 'Operador 1');"
        "insert into sessao (id, id_funcionario, instante_inicial, instante_final, sensor, "
        "id_treino) values (1, 1, 1425975000, 1425994800, 0, 1), "
        "(2, 2, 1425976200, 1425994200, 0, 1);"
        "insert into evento_muda (id_sessao, id_treino, classificacao, instante) "
        "select 2, 1, i % 5, 1425978000 + i from generate_series(1, 14) i");
}

template <typename T>
T *filho(QObject *pai, const char *nome)
{
    return pai->findChild<T *>(QString::fromLatin1(nome));
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> pasta;

    bool gerar(bool separar, QByteArray *conteudo, const QDateTime &inicio = kInicio,
               const QDateTime &fim = kFim)
    {
        const std::unique_ptr<DatabaseConnection> conexao = TestSupport::connect();
        Relatorio relatorio;
        relatorio.configurar(conexao.get(), inicio, fim, 5, pasta->path().toStdString(),
                             separar);
        const bool gerado = relatorio.gerar();
        QFile arquivo(QString::fromStdString(relatorio.caminhoArquivo()));
        *conteudo = arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray();
        return gerado;
    }

    QStringList argumentosCli(const QString &porta) const
    {
        return {"--inicio", "2015-03-10 08:00", "--fim", "2015-03-10 18:00", "--diretorio",
                pasta->path(), "--endereco", "127.0.0.1", "--porta", porta};
    }

private slots:
    void initTestCase()
    {
        REQUIRE_DATABASE();
        tratadorAnterior = qInstallMessageHandler(tratador);
    }

    void init()
    {
        QVERIFY(TestSupport::resetTables());
        pasta = std::make_unique<QTemporaryDir>();
        QVERIFY(pasta->isValid());
        avisosDeThread.clear();
        QSettings configuracoes;
        configuracoes.clear();
        configuracoes.setValue("BD_ADDR", QString::fromStdString(TestSupport::hostaddr()));
        configuracoes.setValue("5432", QString::fromStdString(TestSupport::port()));
        configuracoes.setValue("DIRETORIO", pasta->path());
    }

    void cleanup() { QVERIFY2(avisosDeThread.isEmpty(), qPrintable(avisosDeThread.join("\n"))); }

    void serverGoneDuringAReport_data()
    {
        QTest::addColumn<QString>("falha");
        QTest::newRow("report's backend terminated") << "terminate";
        QTest::newRow("server stopped") << "fast";
        QTest::newRow("server crashed") << "immediate";
    }

    void serverGoneDuringAReport()
    {
        QFETCH(QString, falha);
        const QString servidor = qEnvironmentVariable("QUORBEL_TEST_SERVER_CTL");
        QVERIFY2(!servidor.isEmpty(), "run through scripts/with-test-db.sh");
        QVERIFY(criarExemplo());
        bool parado = false;
        const auto religar = [&] {
            if (parado)
                QProcess::execute(servidor, {"start"});
            parado = false;
        };
        const AoSair aoSair{religar};

        Caixas caixas;
        const TestSupport::CoutCapture saida; // the failed statements
        MainWindow janela;
        auto *botao = filho<QPushButton>(&janela, "botaoGeraRelatorio");
        auto *led = filho<QLedIndicator>(&janela, "led");
        auto *conectar = filho<QAction>(&janela, "actionConectar");
        QVERIFY(led->isChecked());
        {
            Trava trava;
            QVERIFY(trava.ok);
            botao->click();
            int pid = 0;
            QTRY_VERIFY_WITH_TIMEOUT((pid = backendEsperando()) > 0, kEspera);
            if (falha == "terminate") {
                QCOMPARE(admin("select pg_terminate_backend(" + std::to_string(pid) + ")"), "t");
            } else {
                parado = true;
                QCOMPARE(QProcess::execute(servidor, {"stop", falha}), 0);
            }
            QTRY_COMPARE_WITH_TIMEOUT(caixas.lista, QStringList{kFalha}, kEspera);
        }
        QVERIFY(botao->isEnabled());
        QCOMPARE(botao->text(), QString("Gerar Relatório"));
        QVERIFY(conectar->isEnabled());
        QVERIFY(filho<QAction>(&janela, "actionDesconectar")->isEnabled());
        QVERIFY(!saida.text().empty());

        // The lost connection refuses the next report until "Conectar" works.
        botao->click();
        QCOMPARE(caixas.lista.last(), kNaoConectado);
        if (parado) {
            conectar->trigger();
            QVERIFY(!led->isChecked());
            QCOMPARE(janela.statusBar()->currentMessage(), kSemConexao);
            religar();
        }
        conectar->trigger();
        QVERIFY(led->isChecked());
        QCOMPARE(janela.statusBar()->currentMessage(), QString("Conectado com sucesso."));
        botao->click();
        QTRY_COMPARE_WITH_TIMEOUT(caixas.lista.last(), kSucesso, kEspera);
        QTRY_VERIFY(TestSupport::exec("select 1"));
    }

    void stoppingDuringAReport_data()
    {
        QTest::addColumn<QString>("como");
        QTest::addColumn<bool>("mudo");
        QTest::newRow("Sair, statement waiting on a lock") << "Sair" << false;
        QTest::newRow("Sair, server stopped answering") << "Sair" << true;
        QTest::newRow("window closed, server stopped answering") << "close" << true;
        QTest::newRow("Ctrl-C in relatorio-cli, server stopped answering") << "SIGINT" << true;
    }

    void stoppingDuringAReport()
    {
        QFETCH(QString, como);
        QFETCH(bool, mudo);
        QVERIFY(criarExemplo());
        Caixas caixas;
        const TestSupport::CoutCapture cancelado; // the cancelled statements
        Trava trava;
        QVERIFY(trava.ok);
        QProcess cli;
        std::unique_ptr<MainWindow> janela;
        if (como == "SIGINT") {
            cli.start(QCoreApplication::applicationDirPath() + "/../relatorio-cli",
                      argumentosCli(QString::fromStdString(TestSupport::port())));
            QVERIFY(cli.waitForStarted());
        } else {
            janela = std::make_unique<MainWindow>();
            janela->show();
            filho<QPushButton>(janela.get(), "botaoGeraRelatorio")->click();
        }
        int pid = 0;
        QTRY_VERIFY_WITH_TIMEOUT((pid = backendEsperando()) > 0, kEspera);
        std::unique_ptr<Silencio> silencio;
        if (mudo) {
            silencio = std::make_unique<Silencio>(pid);
            trava.soltar();
        }

        if (como == "SIGINT") {
            ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
            QVERIFY(cli.waitForFinished(60000));
            QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
            QCOMPARE(cli.exitCode(), 1);
            QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains("interrompido"));
        } else {
            if (como == "Sair")
                filho<QAction>(janela.get(), "actionSair")->trigger();
            else
                janela->close();
            QVERIFY(!janela->isVisible());
            janela.reset(); // as main() ends once its window has closed
        }
        silencio.reset();
        trava.soltar();
        QTRY_COMPARE_WITH_TIMEOUT(conexoesDoPrograma(), QString("0"), kEspera);
        QVERIFY(caixas.lista.isEmpty());
    }

    void revokedPrivilege_data()
    {
        QTest::addColumn<QString>("tabela");
        for (const char *tabela : {"treino", "funcionario", "sessao", "evento_muda"})
            QTest::newRow(tabela) << tabela;
    }

    void revokedPrivilege()
    {
        QFETCH(QString, tabela);
        QVERIFY(criarExemplo());
        const std::string nome = tabela.toStdString();
        const AoSair devolver{
            [nome] { TestSupport::exec("grant select on " + nome + " to quorbel"); }};
        QVERIFY(TestSupport::exec("revoke select on " + nome + " from quorbel"));

        QByteArray conteudo;
        QString saida;
        {
            const TestSupport::CoutCapture captura;
            QVERIFY(!gerar(false, &conteudo));
            saida = QString::fromStdString(captura.text());
        }
        // Only the statements that read the table failed; the getters report
        // the cells their results lack.
        const QStringList linhas = saida.split('\n', Qt::SkipEmptyParts);
        QVERIFY(!linhas.filter(" " + tabela + " ").isEmpty());
        for (const QString &linha : linhas)
            QVERIFY2(linha.contains(" " + tabela + " ")
                         || linha.startsWith("Não foi possivel recuperar resultado do banco"),
                     qPrintable(linha));
        QVERIFY2(defeito(conteudo).isEmpty(), qPrintable(defeito(conteudo)));
    }

    void settingsHoldingGarbage_data()
    {
        QTest::addColumn<QString>("endereco");
        QTest::addColumn<QString>("porta");
        QTest::addColumn<QString>("diretorio");
        QTest::addColumn<QString>("caixa");
        const QString ip = QString::fromStdString(TestSupport::hostaddr());
        const QString porta = QString::fromStdString(TestSupport::port());
        QTest::newRow("address is a host name") << "localhost" << porta << "" << kNaoConectado;
        QTest::newRow("address out of range") << "256.0.0.1" << porta << "" << kNaoConectado;
        QTest::newRow("address smuggles in the port")
            << ip + " port=" + porta << porta << "" << kNaoConectado;
        QTest::newRow("port is not a number") << ip << "pg" << "" << kNaoConectado;
        QTest::newRow("port out of range") << ip << "70000" << "" << kNaoConectado;
        QTest::newRow("port smuggles in a database")
            << ip << porta + " dbname=postgres" << "" << kNaoConectado;
        QTest::newRow("directory does not exist") << ip << porta << "/nao-existe" << kFalha;
        QTest::newRow("directory is a regular file") << ip << porta << "/arquivo" << kFalha;
        QTest::newRow("directory below a regular file") << ip << porta << "/arquivo/sub"
                                                        << kFalha;
    }

    void settingsHoldingGarbage()
    {
        QFETCH(QString, endereco);
        QFETCH(QString, porta);
        QFETCH(QString, diretorio);
        QFETCH(QString, caixa);
        QFile arquivo(pasta->path() + "/arquivo");
        QVERIFY(arquivo.open(QIODevice::WriteOnly));
        arquivo.close();
        QSettings configuracoes;
        configuracoes.setValue("BD_ADDR", endereco);
        configuracoes.setValue("5432", porta);
        configuracoes.setValue("DIRETORIO", pasta->path() + diretorio);

        const bool conecta = caixa == kFalha;
        Caixas caixas;
        const TestSupport::CoutCapture saida;
        MainWindow janela;
        filho<QAction>(&janela, "actionConectar")->trigger();
        QCOMPARE(filho<QLedIndicator>(&janela, "led")->isChecked(), conecta);
        QCOMPARE(janela.statusBar()->currentMessage(),
                 conecta ? QString("Conectado com sucesso.") : kSemConexao);
        QVERIFY(caixas.lista.isEmpty());

        filho<QPushButton>(&janela, "botaoGeraRelatorio")->click();
        QTRY_COMPARE_WITH_TIMEOUT(caixas.lista, QStringList{caixa}, kEspera);
        QVERIFY(filho<QPushButton>(&janela, "botaoGeraRelatorio")->isEnabled());
        if (conecta)
            QVERIFY(QString::fromStdString(saida.text())
                        .startsWith("Falha ao abrir o arquivo do relatorio: " + pasta->path()
                                    + diretorio + "/Relatorio_"));
        QCOMPARE(QDir(pasta->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"arquivo"});
    }

    void defaultConnectTimeout_data()
    {
        QTest::addColumn<bool>("definido");
        QTest::addColumn<QByteArray>("valor");
        QTest::addColumn<QByteArray>("depois");
        QTest::newRow("unset: ten seconds") << false << QByteArray() << QByteArray("10");
        QTest::newRow("empty, which libpq refuses: ten seconds")
            << true << QByteArray("") << QByteArray("10");
        QTest::newRow("the person's own limit") << true << QByteArray("3") << QByteArray("3");
        QTest::newRow("the person's choice of no limit")
            << true << QByteArray("0") << QByteArray("0");
    }

    void defaultConnectTimeout()
    {
        QFETCH(bool, definido);
        QFETCH(QByteArray, valor);
        QFETCH(QByteArray, depois);
        const AoSair guardado = tempoLimiteGuardado();
        definido ? qputenv("PGCONNECT_TIMEOUT", valor) : qunsetenv("PGCONNECT_TIMEOUT");
        definirTempoLimiteConexaoPadrao();
        QCOMPARE(qgetenv("PGCONNECT_TIMEOUT"), depois);
    }

    void silentAddress_data()
    {
        QTest::addColumn<bool>("cli");
        QTest::newRow("report screen") << false;
        QTest::newRow("relatorio-cli") << true;
    }

    void silentAddress()
    {
        QFETCH(bool, cli);
        const OuvinteMudo ouvinte;
        const AoSair guardado = tempoLimiteGuardado();
        qunsetenv("PGCONNECT_TIMEOUT");
        // Without the program's default libpq would wait for an answer for
        // good, and the test would end only at CTest's timeout.
        if (cli) {
            QProcess processo;
            processo.start(QCoreApplication::applicationDirPath() + "/../relatorio-cli",
                           argumentosCli(ouvinte.porta));
            QVERIFY(processo.waitForFinished(120000));
            QCOMPARE(processo.exitCode(), 1);
            const QString erros = QString::fromUtf8(processo.readAllStandardError());
            QVERIFY2(erros.contains("falha ao conectar") && erros.contains("timeout"),
                     qPrintable(erros));
        } else {
            definirTempoLimiteConexaoPadrao();
            enderecoBanco = "127.0.0.1";
            portaBanco = ouvinte.porta;
            Caixas caixas;
            TelaRelatorio tela;
            QVERIFY(!filho<QLedIndicator>(&tela, "led")->isChecked());
            QVERIFY(caixas.lista.isEmpty());
        }
        QVERIFY(QDir(pasta->path()).isEmpty());
    }

    void awkwardNames_data()
    {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QByteArray>("bytes");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("apostrophe") << QString::fromUtf8("D'Ávila") << QByteArray("D'\xC1vila");
        QTest::newRow("double quotes") << "\"Ana\" Maria" << QByteArray("\"Ana\" Maria");
        QTest::newRow("backslash") << "Ana\\Maria" << QByteArray("Ana\\Maria");
        QTest::newRow("SQL in the name") << "x'); drop table treino; --"
                                         << QByteArray("x'); drop table treino; --");
        QTest::newRow("lone line feed") << "Ana\nMaria" << QByteArray("Ana Maria");
        QTest::newRow("lone carriage return") << "Ana\rMaria" << QByteArray("Ana Maria");
        QTest::newRow("tabs at both ends") << "\tAna\t" << QByteArray(" Ana ");
        QTest::newRow("control characters") << "A\x01\x1b[1mB" << QByteArray("A\x01\x1b[1mB");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("NULL") << QString() << QByteArray();
        QTest::newRow("10,000 plain letters") << QString(10000, 'x') << QByteArray(10000, 'x');
        QTest::newRow("10,000 accented letters")
            << QString(10000, QChar(0xE9)) << QByteArray(10000, '\xE9');
        QTest::newRow("10,000 letters outside Windows-1252")
            << QString(10000, QChar(0x4E2D)) << QByteArray(10000, '?');
        QTest::newRow("10,000 characters outside the BMP")
            << emoji.repeated(10000) << QByteArray(10000, '?');
        QTest::newRow("10,000 line breaks") << QString(10000, '\n') << QByteArray(10000, ' ');
    }

    void awkwardNames()
    {
        QFETCH(QString, nome);
        QFETCH(QByteArray, bytes);
        QVERIFY(criarExemplo());
        QVERIFY(TestSupport::exec("update treino set nome = " + literal(nome)
                                  + "; update funcionario set nome = " + literal(nome)));
        if (nome.isNull())
            QCOMPARE(TestSupport::scalar("select count(*) from treino where nome is null"), "1");
        QByteArray conteudo;
        QVERIFY(gerar(false, &conteudo));
        QVERIFY2(defeito(conteudo).isEmpty(), qPrintable(defeito(conteudo)));
        // The example's 33 rows; the name alone on its row and first in the
        // employee's.
        QCOMPARE(conteudo.count("\r\n"), 33);
        QVERIFY(conteudo.contains("\r\n\r\n" + bytes + "\r\n\r\nTempo acumulado da m\xE1quina"));
        QCOMPARE(conteudo.count("\r\n" + bytes + "\t2\t3\t3\t3\t3\t14\t05:00:00\r\n"), 2);
    }

    void hundredsOfSessionsSeparated()
    {
        // 300 machine sessions of one minute, 100 s apart, one event in each.
        QVERIFY(TestSupport::exec(
            "insert into treino (id, nome) values (1, 'Muitas sess\xC3\xB5" "es');"
            "insert into sessao (id, id_funcionario, instante_inicial, instante_final, sensor, "
            "id_treino) select i, 1, " + kT0 + " + 100 * i, " + kT0 + " + 100 * i + 60, 0, 1 "
            "from generate_series(1, 300) i;"
            "insert into evento_muda (id_sessao, id_treino, classificacao, instante) "
            "select i, 1, i % 5, " + kT0 + " + 100 * i + 30 from generate_series(1, 300) i"));
        QByteArray conteudo;
        QVERIFY(gerar(true, &conteudo));
        QVERIFY2(defeito(conteudo).isEmpty(), qPrintable(defeito(conteudo)));
        QCOMPARE(conteudo.count("Sess\xE3o in\xED" "cio:\t10/03/2015\t"), 300);
        QCOMPARE(conteudo.count("\r\nTotal produzido\t 1\r\n"), 300);
        QVERIFY(conteudo.contains("VARIEDADES\r\n\r\nTempo acumulado da m\xE1quina\t05:00:00"));
        QCOMPARE(conteudo.count("\r\nTotal produzido\t 300\r\n"), 1);
    }

    void tenYears_data()
    {
        QTest::addColumn<bool>("separar");
        QTest::newRow("whole period") << false;
        QTest::newRow("separated sessions") << true;
    }

    void tenYears()
    {
        QFETCH(bool, separar);
        // On the first of each month from 2010 to 2019: a ten-hour machine
        // session, the operator's over the same hours, one event.
        QVERIFY(TestSupport::exec(
            "insert into treino (id, nome) values (1, 'Dez anos');"
            "insert into funcionario (id, nome) values (2, 'Operador');"
            "with meses as (select m, extract(epoch from timestamptz '2010-01-01 08:00+00' + "
            "interval '1 month' * (m - 1))::int as t from generate_series(1, 120) m) "
            "insert into sessao (id, id_funcionario, instante_inicial, instante_final, sensor, "
            "id_treino) select m, 1, t, t + 36000, 0, 1 from meses "
            "union all select 1000 + m, 2, t, t + 36000, 0, 1 from meses;"
            "insert into evento_muda (id_sessao, id_treino, classificacao, instante) "
            "select id, 1, id % 5, instante_inicial + 60 from sessao where id_funcionario = 2"));
        QByteArray conteudo;
        QVERIFY(gerar(separar, &conteudo, QDateTime(QDate(2010, 1, 1), QTime(0, 0)),
                      QDateTime(QDate(2019, 12, 31), QTime(23, 59, 59))));
        QVERIFY2(defeito(conteudo).isEmpty(), qPrintable(defeito(conteudo)));
        QVERIFY(conteudo.contains("Tempo acumulado da m\xE1quina\t1200:00:00\r\n"
                                  "Tempo acumulado de funcion\xE1rios\t1200:00:00\r\n"));
        QVERIFY(conteudo.contains("\r\nOperador\t24\t24\t24\t24\t24\t120\t1200:00:00\r\n"));
        QCOMPARE(conteudo.count("Total produzido\t 120\r\n"), separar ? 1 : 2);
        QCOMPARE(conteudo.count("Sess\xE3o in\xED" "cio:"), separar ? 120 : 0);
    }

    void nullInstants_data()
    {
        // A row added to the example, and the first summary's total.
        QTest::addColumn<QString>("linha");
        QTest::addColumn<QByteArray>("total");
        const QString evento = "evento_muda (id_sessao, id_treino, classificacao, instante) ";
        const QString sessao = "sessao (id, id_funcionario, instante_inicial, instante_final, "
                               "id_treino) ";
        QTest::newRow("event without an instant")
            << evento + "values (2, 1, 0, NULL)" << QByteArray("14");
        QTest::newRow("event without a class")
            << evento + "values (2, 1, NULL, 1425978100)" << QByteArray("14");
        QTest::newRow("event without session and variety, counted in all varieties")
            << evento + "values (NULL, NULL, 1, 1425978100)" << QByteArray("15");
        QTest::newRow("machine session without an end")
            << sessao + "values (3, 1, 1425996000, NULL, 1)" << QByteArray("14");
        QTest::newRow("machine session without a start")
            << sessao + "values (3, 1, NULL, 1425996000, 1)" << QByteArray("14");
        QTest::newRow("operator session without either instant")
            << sessao + "values (3, 2, NULL, NULL, 1)" << QByteArray("14");
    }

    void nullInstants()
    {
        QFETCH(QString, linha);
        QFETCH(QByteArray, total);
        QVERIFY(criarExemplo());
        QVERIFY(TestSupport::exec("insert into " + linha.toStdString()));
        for (const bool separar : {false, true}) {
            QByteArray conteudo;
            const TestSupport::CoutCapture saida;
            QVERIFY(gerar(separar, &conteudo));
            QCOMPARE(QString::fromStdString(saida.text()), QString());
            QVERIFY2(defeito(conteudo).isEmpty(), qPrintable(defeito(conteudo)));
            QCOMPARE(conteudo.indexOf("Total produzido\t " + total + "\r\n"),
                     conteudo.indexOf("Total produzido\t "));
        }
    }
};

int main(int argc, char *argv[])
{
    qputenv("TZ", "UTC");
    // Settings of its own also when run by hand.
    QTemporaryDir configuracao;
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configuracao.path()));
    QCoreApplication::setOrganizationName("Quorbel");
    QCoreApplication::setApplicationName("RelatorioGerador");
    Q_INIT_RESOURCE(img);
    QApplication app(argc, argv);
    TestFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
