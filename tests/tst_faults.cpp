// Faults and bad input the program must survive: a server that goes away,
// stops answering or never answers, revoked rights, unusable settings and
// output paths, awkward names and data. Every case ends in a correct report
// or a clear refusal, never a crash, a hang or a corrupt row.

#include "app/mainwindow.h"
#include "config/configuracoes.h"
#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "report/relatorio.h"
#include "screen/qledindicator.h"
#include "screen/telarelatorio.h"
#include "tests/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <libpq-fe.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace {

const QString kFalha = "Aviso|Nossa! Não foi possível gerar o relatorio.\nPor favor, entre em "
                       "contato com seu fornecedor.";
const QString kNaoConectado = "Erro!|Não está conectado à máquina.";
// 10 March 2015, 08:00 to 18:00; the tests run in UTC.
const QDateTime kInicio(QDate(2015, 3, 10), QTime(8, 0));
const QDateTime kFim(QDate(2015, 3, 10), QTime(18, 0));
// For a job or a server to get somewhere, sanitizers included.
constexpr int kEspera = 20000;

// One variety, one operator, a machine session 08:10-13:40 and an operator
// session 08:30-13:30 on 10 March 2015, with 14 events in both.
const QString kExemplo = "insert into treino values (1, 'Variedade 1');"
                         "insert into funcionario values (2, 'Operador 1');"
                         "insert into sessao values (1, 1, 1425975000, 1425994800, 0, 1),"
                         "(2, 2, 1425976200, 1425994200, 0, 1); insert into evento_muda "
                         "select i, 2, 1, i % 5, 1425978000 + i from generate_series(1, 14) i;";

// Texts a file must hold, each so many times.
using Contagens = QMap<QByteArray, int>;

// Qt's warnings of objects used from the wrong thread.
std::mutex mutexAvisos;
QStringList avisosDeThread;
QtMessageHandler tratadorAnterior = nullptr;

void tratador(QtMsgType tipo, const QMessageLogContext &contexto, const QString &texto)
{
    if (texto.contains("thread", Qt::CaseInsensitive)) {
        const std::lock_guard<std::mutex> guarda(mutexAvisos);
        avisosDeThread << texto;
    }
    tratadorAnterior(tipo, contexto, texto);
}

// Runs its function once: when asked, or however the test ends.
struct AoSair
{
    std::function<void()> funcao;
    void agora()
    {
        if (auto f = std::exchange(funcao, nullptr))
            f();
    }
    ~AoSair() { agora(); }
};

// First cell of a query run as the server's superuser, outside the owner's
// transaction; empty on failure, after which the next call connects again.
std::string admin(const std::string &sql)
{
    static std::unique_ptr<PGconn, void (*)(PGconn *)> conn(nullptr, PQfinish);
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK)
        conn.reset(PQconnectdb(qgetenv("QUORBEL_TEST_ADMIN").constData()));
    const ResultPtr r(PQexec(conn.get(), sql.c_str()));
    return PQntuples(r.get()) > 0 ? PQgetvalue(r.get(), 0, 0) : "";
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

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> pasta;
    // A listener on 127.0.0.1 that lets connections in and never says a word.
    const int mudo = socket(AF_INET, SOCK_STREAM, 0);
    QString portaMuda;

private slots:
    void initTestCase()
    {
        REQUIRE_DATABASE();
        tratadorAnterior = qInstallMessageHandler(tratador);
        qputenv("TZ", "UTC");
        tzset();
        Q_INIT_RESOURCE(img);
        QStandardPaths::setTestModeEnabled(true); // never a person's real settings
        QSettings configuracoes;
        configuracoes.setValue("BD_ADDR", QString::fromStdString(TestSupport::hostaddr()));
        configuracoes.setValue("5432", QString::fromStdString(TestSupport::port()));

        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t tamanho = sizeof endereco;
        QVERIFY(bind(mudo, reinterpret_cast<sockaddr *>(&endereco), tamanho) == 0);
        QVERIFY(listen(mudo, 16) == 0);
        QVERIFY(getsockname(mudo, reinterpret_cast<sockaddr *>(&endereco), &tamanho) == 0);
        portaMuda = QString::number(ntohs(endereco.sin_port));
    }

    void cleanupTestCase() { ::close(mudo); }

    void init()
    {
        QVERIFY(TestSupport::resetTables());
        pasta = std::make_unique<QTemporaryDir>();
        QVERIFY(pasta->isValid());
        QSettings().setValue("DIRETORIO", pasta->path());
        avisosDeThread.clear();
    }

    void cleanup() { QVERIFY2(avisosDeThread.isEmpty(), qPrintable(avisosDeThread.join("\n"))); }

    void faultDuringAReport_data()
    {
        // What befalls the server while the report's first statement waits
        // on a lock, and what the person does then ("" waits for the outcome).
        QTest::addColumn<QString>("falha");
        QTest::addColumn<QString>("acao");
        QTest::newRow("report's backend terminated") << "terminate"
                                                     << "";
        QTest::newRow("server stopped") << "stop"
                                        << "";
        QTest::newRow("Sair, statement waiting on a lock") << ""
                                                           << "Sair";
        QTest::newRow("window closed, server stopped answering") << "SIGSTOP"
                                                                 << "close";
        QTest::newRow("Ctrl-C in relatorio-cli, server stopped answering") << "SIGSTOP"
                                                                           << "SIGINT";
    }

    void faultDuringAReport()
    {
        QFETCH(QString, falha);
        QFETCH(QString, acao);
        QVERIFY(TestSupport::exec(kExemplo.toStdString()));
        Caixas caixas;
        const TestSupport::CoutCapture saida; // failed or cancelled statements
        AoSair soltar{[] { TestSupport::exec("rollback"); }};
        QVERIFY(TestSupport::exec("begin; lock table sessao in access exclusive mode"));
        QProcess cli;
        std::unique_ptr<MainWindow> janela;
        if (acao == "SIGINT") {
            cli.start(QCoreApplication::applicationDirPath() + "/../relatorio-cli",
                      {"--inicio", "2015-03-10 08:00", "--fim", "2015-03-10 18:00", "--diretorio",
                       pasta->path(), "--endereco", "127.0.0.1", "--porta",
                       QString::fromStdString(TestSupport::port())});
        } else {
            janela = std::make_unique<MainWindow>();
            janela->show();
            janela->findChild<QPushButton *>("botaoGeraRelatorio")->click();
        }
        const std::string esperando = "select pid from pg_stat_activity where usename = "
                                      "'quorbel' and wait_event_type = 'Lock'";
        int pid = 0;
        QTRY_VERIFY_WITH_TIMEOUT((pid = std::atoi(admin(esperando).c_str())) > 0, kEspera);
        AoSair reparar; // the server back on its feet
        const QString servidor = qEnvironmentVariable("QUORBEL_TEST_SERVER_CTL");
        if (falha == "terminate") {
            QCOMPARE(admin("select pg_terminate_backend(" + std::to_string(pid) + ")"), "t");
        } else if (falha == "stop") {
            reparar.funcao = [servidor] { QProcess::execute(servidor, {"start"}); };
            QCOMPARE(QProcess::execute(servidor, {"stop", "fast"}), 0);
        } else if (falha == "SIGSTOP") {
            // Should the program wait for it, the test would end only at
            // CTest's timeout.
            ::kill(pid, SIGSTOP);
            reparar.funcao = [pid] { ::kill(pid, SIGCONT); };
            soltar.agora();
        }

        if (!acao.isEmpty()) {
            if (acao == "SIGINT") {
                ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
                QVERIFY(cli.waitForFinished(60000));
                QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
                QCOMPARE(cli.exitCode(), 1);
                QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains("interrompido"));
            } else {
                if (acao == "Sair")
                    janela->findChild<QAction *>("actionSair")->trigger();
                else
                    janela->close();
                QVERIFY(!janela->isVisible());
                janela.reset(); // as main() ends once its window has closed
            }
            reparar.agora();
            soltar.agora();
            const std::string dono = TestSupport::scalar("select pg_backend_pid()");
            QTRY_COMPARE_WITH_TIMEOUT(admin("select count(*) from pg_stat_activity where "
                                            "usename = 'quorbel' and pid <> "
                                            + dono),
                                      std::string("0"), kEspera);
            QVERIFY(caixas.lista.isEmpty());
            return;
        }

        // The server went away: a failure, and the window ready for a new
        // "Conectar", which the lost connection needs before the next report.
        QTRY_COMPARE_WITH_TIMEOUT(caixas.lista, QStringList{kFalha}, kEspera);
        soltar.agora();
        auto *botao = janela->findChild<QPushButton *>("botaoGeraRelatorio");
        auto *led = janela->findChild<QLedIndicator *>("led");
        auto *conectar = janela->findChild<QAction *>("actionConectar");
        QVERIFY(botao->isEnabled());
        QCOMPARE(botao->text(), QString("Gerar Relatório"));
        QVERIFY(conectar->isEnabled());
        QVERIFY(janela->findChild<QAction *>("actionDesconectar")->isEnabled());
        QVERIFY(!saida.text().empty());
        botao->click();
        QCOMPARE(caixas.lista.last(), kNaoConectado);
        conectar->trigger();
        QCOMPARE(led->isChecked(), falha != "stop");
        reparar.agora();
        conectar->trigger();
        QVERIFY(led->isChecked());
        botao->click();
        QTRY_COMPARE_WITH_TIMEOUT(caixas.lista.last(),
                                  QString("Aviso|Relatório gerado com sucesso!"), kEspera);
        QTRY_VERIFY(TestSupport::exec("select 1")); // the owner's connection is back too
    }

    void unusableSettings_data()
    {
        QTest::addColumn<QString>("endereco");
        QTest::addColumn<QString>("porta");
        QTest::addColumn<QString>("diretorio");
        const QString ip = QString::fromStdString(TestSupport::hostaddr());
        const QString porta = QString::fromStdString(TestSupport::port());
        QTest::newRow("address is a host name") << "localhost" << porta << "";
        QTest::newRow("port is not a number") << ip << "pg"
                                              << "";
        QTest::newRow("address smuggles in the port") << ip + " port=" + porta << porta << "";
        QTest::newRow("address that never answers, PGCONNECT_TIMEOUT unset")
            << "127.0.0.1" << portaMuda << "";
        QTest::newRow("directory does not exist") << ip << porta << "/nao-existe";
        QTest::newRow("directory is a regular file") << ip << porta << "/arquivo";
    }

    void unusableSettings()
    {
        QFETCH(QString, endereco);
        QFETCH(QString, porta);
        QFETCH(QString, diretorio);
        QVERIFY(QFile(pasta->path() + "/arquivo").open(QIODevice::WriteOnly));
        definirConfiguracoes(endereco, porta, pasta->path() + diretorio);
        // As main() does. Without it libpq would wait for the silent address
        // for good, and the test would end only at CTest's timeout.
        qunsetenv("PGCONNECT_TIMEOUT");
        definirTempoLimiteConexaoPadrao();

        const bool conecta = !diretorio.isEmpty(); // the rows of a bad directory connect
        Caixas caixas;
        TelaRelatorio tela;
        QCOMPARE(tela.findChild<QLedIndicator *>("led")->isChecked(), conecta);
        QVERIFY(caixas.lista.isEmpty());
        tela.findChild<QPushButton *>("botaoGeraRelatorio")->click();
        QTRY_COMPARE_WITH_TIMEOUT(caixas.lista, QStringList{conecta ? kFalha : kNaoConectado},
                                  kEspera);
        QCOMPARE(QDir(pasta->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"arquivo"});
    }

    void emptyConnectTimeoutCountsAsUnset()
    {
        qputenv("PGCONNECT_TIMEOUT", ""); // which libpq refuses
        definirTempoLimiteConexaoPadrao();
        QCOMPARE(qgetenv("PGCONNECT_TIMEOUT"), QByteArray("10"));
    }

    void awkwardDatabase_data()
    {
        // What the database holds, the report's mode and period, texts the
        // file must hold so many times, and a table the program may not read.
        QTest::addColumn<QString>("dados");
        QTest::addColumn<bool>("separar");
        QTest::addColumn<QDateTime>("inicio");
        QTest::addColumn<QDateTime>("fim");
        QTest::addColumn<Contagens>("contagens");
        QTest::addColumn<QString>("negada");
        const auto linha = [](const char *caso, const QString &dados, bool separar,
                              const Contagens &contagens, const QDateTime &inicio = kInicio,
                              const QDateTime &fim = kFim) {
            QTest::newRow(caso) << dados << separar << inicio << fim << contagens << QString();
        };
        // The example's 33 rows; the name alone on its row and first in the
        // employee's.
        const auto nome = [&](const char *caso, const QString &texto, const QByteArray &bytes) {
            const QString literal = "$nome$" + texto + "$nome$";
            linha(caso,
                  kExemplo + "update treino set nome = " + literal
                      + "; update funcionario set nome = " + literal,
                  false,
                  {{"\r\n", 33},
                   {"\r\n\r\n" + bytes + "\r\n\r\nTempo acumulado da m\xE1quina", 1},
                   {"\r\n" + bytes + "\t2\t3\t3\t3\t3\t14\t05:00:00\r\n", 2}});
        };
        nome("name with quotes and SQL text", "\"Ana\" O'Hara'); drop table treino; --",
             "\"Ana\" O'Hara'); drop table treino; --");
        nome("name with tab, CR and LF", "\tAna\r\nMaria", " Ana  Maria");
        nome("name outside Windows-1252", "Жora 中", "?ora ?");
        nome("name of 10,000 characters outside the BMP",
             QString::fromUtf8("\xF0\x9F\x98\x80").repeated(10000), QByteArray(10000, '?'));

        // 300 machine sessions of one minute, 100 s apart, one event in each.
        linha("300 sessions of a variety, separated",
              "insert into treino values (1, 'Muitas sessões'); insert into sessao select i, "
              "1, 1425974400 + 100 * i, 1425974460 + 100 * i, 0, 1 from generate_series(1, 300) i;"
              "insert into evento_muda select i, i, 1, i % 5, 1425974430 + 100 * i "
              "from generate_series(1, 300) i",
              true,
              {{"Sess\xE3o in\xED"
                "cio:\t10/03/2015\t",
                300},
               {"\r\nTotal produzido\t 1\r\n", 300},
               {"\r\nTotal produzido\t 300\r\n", 1},
               {"VARIEDADES\r\n\r\nTempo acumulado da m\xE1quina\t05:00:00", 1}});
        // On the first of each month from 2010 to 2019: a ten-hour machine
        // session, the operator's over the same hours, one event.
        linha("ten years",
              "insert into treino values (1, 'Dez anos'); insert into funcionario values (2, "
              "'Operador'); insert into sessao select m + 1000 * (f - 1), f, t, t + 36000, 0, 1 "
              "from generate_series(1, 2) f, (select m, extract(epoch from timestamptz "
              "'2010-01-01 08:00+00' + interval '1 month' * (m - 1))::int t from "
              "generate_series(1, 120) m) meses; insert into evento_muda select id, id, 1, "
              "id % 5, instante_inicial + 60 from sessao where id_funcionario = 2",
              false,
              {{"Tempo acumulado da m\xE1quina\t1200:00:00\r\n"
                "Tempo acumulado de funcion\xE1rios\t1200:00:00\r\n",
                2},
               {"\r\nOperador\t24\t24\t24\t24\t24\t120\t1200:00:00\r\n", 2},
               {"Total produzido\t 120\r\n", 2}},
              QDateTime(QDate(2010, 1, 1), QTime(0, 0)),
              QDateTime(QDate(2019, 12, 31), QTime(23, 59, 59)));

        linha("event without an instant",
              kExemplo
                  + "insert into evento_muda values "
                    "(15, 2, 1, 0, NULL)",
              false, {{"Total produzido\t 14\r\n", 2}});
        linha("machine session without an end, separated",
              kExemplo
                  + "insert into sessao "
                    "values (3, 1, 1425996000, NULL, 0, 1)",
              true,
              {{"Sess\xE3o in\xED"
                "cio:",
                2},
               {"Total produzido\t 14\r\n", 2}});
        linha("machine session without a start, separated",
              kExemplo
                  + "insert into sessao "
                    "values (3, 1, NULL, 1425996000, 0, 1)",
              true,
              {{"Sess\xE3o in\xED"
                "cio:",
                2},
               {"Total produzido\t 14\r\n", 3}});

        QTest::newRow("SELECT on sessao revoked")
            << kExemplo + "revoke select on sessao from quorbel" << false << kInicio << kFim
            << Contagens() << "sessao";
    }

    void awkwardDatabase()
    {
        QFETCH(QString, dados);
        QFETCH(bool, separar);
        QFETCH(QDateTime, inicio);
        QFETCH(QDateTime, fim);
        QFETCH(Contagens, contagens);
        QFETCH(QString, negada);
        const AoSair devolver{[] { TestSupport::exec("grant select on sessao to quorbel"); }};
        QVERIFY(TestSupport::exec(dados.toStdString()));
        const std::unique_ptr<DatabaseConnection> conexao = TestSupport::connect();
        Relatorio relatorio;
        relatorio.configurar(conexao.get(), inicio, fim, 5, pasta->path().toStdString(), separar);
        const TestSupport::CoutCapture saida;
        QCOMPARE(relatorio.gerar(), negada.isEmpty());
        QFile arquivo(QString::fromStdString(relatorio.caminhoArquivo()));
        QVERIFY(arquivo.open(QIODevice::ReadOnly));
        const QByteArray conteudo = arquivo.readAll();
        QVERIFY2(defeito(conteudo).isEmpty(), qPrintable(defeito(conteudo)));
        for (auto i = contagens.cbegin(); i != contagens.cend(); ++i)
            QVERIFY2(conteudo.count(i.key()) == i.value(),
                     qPrintable(QString("%1 times: ").arg(conteudo.count(i.key()))
                                + QString::fromLatin1(i.key().left(60))));

        // Only the statements that read the refused table fail, printed; the
        // getters report the cells their results lack.
        const QString texto = QString::fromStdString(saida.text());
        QCOMPARE(texto.contains(" " + negada + " "), !negada.isEmpty());
        for (const QString &linha : texto.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(!negada.isEmpty()
                         && (linha.contains(" " + negada + " ")
                             || linha.startsWith("Não foi possivel recuperar resultado do banco")),
                     qPrintable(linha));
    }
};

QTEST_MAIN(TestFaults)

#include "tst_faults.moc"
