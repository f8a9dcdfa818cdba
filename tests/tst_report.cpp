// The report job against the test server: the file byte for byte and whole or
// absent, its name, the failures it must report, the statements it sends,
// names in the file's encoding, local instants, progress and cancellation; the
// workbook read back.

#include "db/databaseconnection.h"
#include "report/escritortexto.h"
#include "report/periodo.h"
#include "report/relatorio.h"
#include "tests/testsupport.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>

namespace {

const QDateTime kInicio(QDate(2015, 3, 1), QTime(8, 0));
const QDateTime kFim(QDate(2015, 3, 2), QTime(18, 0));
const char kNome[] = "Relatorio_2015-03-01_a_2015-03-02.xls";
const QByteArray kAntigo = "an earlier report\r\n";
const char kSemRegrasDoFuso[] = "a zone's daylight-saving rules cannot be set in-process on "
                                "Windows (the C runtime's TZ has none)";
// Dates in the file and the period bounds are local time.
#ifdef _WIN32
// The C runtime's own form: UTC-3 with no daylight saving, as São Paulo in March 2015.
const char kFuso[] = "BRT3";
#else
const char kFuso[] = "America/Sao_Paulo";
#endif

// A FIFO at the path: 0 when made. Windows has none in its file system.
int fazerFifo(const QString &caminho)
{
#ifdef _WIN32
    Q_UNUSED(caminho);
    return -1;
#else
    return mkfifo(QFile::encodeName(caminho).constData(), 0600);
#endif
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

    std::unique_ptr<DatabaseConnection> conexao;
    std::unique_ptr<QTemporaryDir> pasta;
    Relatorio::Formato formato = Relatorio::Formato::Texto;

    // Runs a report in its thread, as the window does, calls `durante` meanwhile, and checks what
    // every run shows: one outcome; progress never going back nor past its plan, ending on it.
    bool gerar(bool separar, const QDateTime &inicio = kInicio, const QDateTime &fim = kFim,
               const QString &diretorio = {}, const std::function<void(Relatorio &)> &durante = {})
    {
        Relatorio relatorio;
        const QString destino = diretorio.isNull() ? pasta->path() : diretorio;
        relatorio.configurar(conexao.get(), inicio, fim, 5, destino.toStdString(), separar);
        relatorio.definirFormato(formato);
        // Recorded on the job's thread under a lock of our own, so that a
        // race detector sees the hand-over (Qt's own locks are invisible to it).
        std::mutex trava;
        std::vector<bool> gerado;
        std::pair<int, int> passo{0, 0};
        bool emOrdem = true;
        const auto aoGerar = [&](bool ok) {
            const std::lock_guard<std::mutex> g(trava);
            gerado.push_back(ok);
        };
        const auto aoProgredir = [&](int feitos, int previstos) {
            const std::lock_guard<std::mutex> g(trava);
            emOrdem = emOrdem && feitos >= passo.first && previstos >= passo.second
                      && feitos <= previstos;
            passo = {feitos, previstos};
        };
        connect(&relatorio, &Relatorio::relatorioGerado, &relatorio, aoGerar, Qt::DirectConnection);
        connect(&relatorio, &Relatorio::progresso, &relatorio, aoProgredir, Qt::DirectConnection);
        relatorio.start();
        if (durante)
            durante(relatorio);
        relatorio.wait();
        const std::lock_guard<std::mutex> g(trava);
        const bool sucesso = gerado == std::vector<bool>{true};
        [&] {
            QCOMPARE(int(gerado.size()), 1);
            QVERIFY(emOrdem && (!sucesso || passo.first == passo.second));
        }();
        return sucesso;
    }

private slots:
    void init()
    {
        qputenv("TZ", kFuso);
        tzset();
        REQUIRE_DATABASE();
        QVERIFY(TestSupport::resetTables());
        conexao = TestSupport::connect();
        QVERIFY(conexao->isConnected());
        pasta = std::make_unique<QTemporaryDir>();
        formato = Relatorio::Formato::Texto;
    }

    void file_data() { TestSupport::tabela("relatorios.tsv"); }
    void file()
    {
        auto [dados, separar, tipo, antes, inicio, fim, esperado, contagens, comandos]
            = TestSupport::celulas("dados", "separar", "formato", "antes", "inicio", "fim",
                                   "esperado", "contagens", "comandos");
        if (tipo == "xlsx")
            SKIP_ON_WINDOWS("the workbook is unpacked with the Linux unzip");
        const auto devolver
            = qScopeGuard([] { TestSupport::exec("grant select on sessao to quorbel"); });
        const QDateTime de = QDateTime::fromString(inicio, Qt::ISODate);
        const QDateTime ate = QDateTime::fromString(fim, Qt::ISODate);
        const QString nome = "Relatorio_" + de.toString("yyyy-MM-dd") + "_a_"
                             + ate.toString("yyyy-MM-dd") + "." + tipo;
        const QString caminho = pasta->path() + "/" + nome;
        const QString alvo = pasta->path() + "/alvo";
        QVERIFY(QFile(alvo).open(QIODevice::WriteOnly));
        if (antes == "fifo")
            SKIP_ON_WINDOWS("Windows has no FIFOs in its file system");
        if (antes == "link")
            QVERIFY(QFile::link(alvo, caminho));
        else if (antes == "fifo")
            QCOMPARE(fazerFifo(caminho), 0);
        else {
            QFile anterior(caminho);
            QVERIFY(anterior.open(QIODevice::WriteOnly) && anterior.write(kAntigo) > 0);
        }
        const auto comArquivo = [](const QByteArray &texto) {
            const int fimDoNome = texto.contains(' ') ? texto.indexOf(' ') : texto.size();
            return texto.startsWith('@')
                       ? TestSupport::dados(texto.mid(1, fimDoNome - 1)) + texto.mid(fimDoNome)
                       : texto;
        };
        QVERIFY(TestSupport::semear(QString::fromUtf8(comArquivo(dados))));
        QStringList enviados;
        conexao->setStatementObserver(
            [&](const std::string &sql) { enviados << QString::fromStdString(sql); });
        formato = tipo == "xlsx" ? Relatorio::Formato::PastaDeTrabalho : Relatorio::Formato::Texto;
        const bool sucesso = esperado != "@antigo";
        TestSupport::CoutCapture saida; // the failed statements' lines
        QCOMPARE(gerar(separar == "1", de, ate), sucesso);
        // Failures print the statements that failed, but for an empty span.
        QCOMPARE(saida.text().empty(), sucesso || de == ate);
        // In the middle of the pipeline, only the statements reading the
        // refused table fail; the getters report the cells they lack.
        for (const QString &linha : QString::fromStdString(saida.text()).split('\n'))
            QVERIFY2(!dados.contains("revoke") || linha.isEmpty() || linha.contains(" sessao s ")
                         || linha.startsWith("Não foi possivel recuperar"),
                     qPrintable(linha));
        // Nothing else, and no temporary file, is left beside it.
        QCOMPARE(TestSupport::entradas(pasta->path()), QStringList({nome, "alvo"}));
        QVERIFY(QFileInfo(caminho).isFile() && !QFileInfo(caminho).isSymLink());
        QCOMPARE(TestSupport::lerArquivo(alvo), QByteArray());
        QByteArray escrito = TestSupport::lerArquivo(caminho);
        if (tipo == "xlsx" && sucesso) {
            QProcess unzip;
            unzip.start("unzip", {"-p", caminho, "-x", "docProps/core.xml"});
            QVERIFY(unzip.waitForFinished());
            escrito = unzip.readAllStandardOutput().replace("><", ">\n<");
        }
        if (!esperado.isEmpty())
            QCOMPARE(escrito.split('\n'), (sucesso ? comArquivo(esperado) : kAntigo).split('\n'));
        for (const QByteArray &contagem : contagens.split('|')) {
            const QByteArray texto = contagem.mid(contagem.indexOf('=') + 1);
            if (!contagem.isEmpty())
                QVERIFY2(escrito.count(texto) == contagem.split('=')[0].toInt(),
                         qPrintable(QString("%1 times: ").arg(escrito.count(texto)) + texto));
        }
        // Each summary's statements in their order ("--" starts a summary), and no others.
        int total = 0;
        const QString listas = QString::fromUtf8("\n" + comArquivo(comandos));
        for (const QString &texto : listas.split("\n--", Qt::SkipEmptyParts)) {
            // The summary's name, then its statements.
            const QStringList secao = texto.split('\n', Qt::SkipEmptyParts).mid(1);
            QStringList vistos;
            for (const QString &sql : enviados)
                if (secao.contains(sql))
                    vistos << sql;
            QCOMPARE(vistos, secao);
            total += secao.size();
        }
        QVERIFY(comandos.isEmpty() || enviados.size() == total);
    }

    void names_data() { TestSupport::tabela("nomes.tsv"); }
    void names()
    {
        const auto [nome, bytes] = TestSupport::celulas("nome", "bytes");
        QCOMPARE(QByteArray::fromStdString(nomeNoArquivo(nome.toStdString())), bytes);
    }

    void instants_data() { TestSupport::tabela("instantes.tsv"); }
    void instants()
    {
        SKIP_ON_WINDOWS(kSemRegrasDoFuso);
        const auto [lido, instante, ajustado, registravel]
            = TestSupport::celulas("lido", "instante", "ajustado", "registravel");
        const QDateTime local = QDateTime::fromString(lido, Qt::ISODate);
        bool foiAjustado = ajustado != "1";
        const QDateTime resultado = instanteLocal(local.date(), local.time(), &foiAjustado);
        QCOMPARE(resultado.toUTC().toString(Qt::ISODate), QString(instante));
        QCOMPARE(foiAjustado, ajustado == "1");
        QCOMPARE(instanteRegistravel(resultado), registravel == "1");
    }

    void namedPeriods_data() { TestSupport::tabela("periodos.tsv"); }
    void namedPeriods()
    {
        SKIP_ON_WINDOWS(kSemRegrasDoFuso);
        const auto [nome, agora, inicio, fim]
            = TestSupport::celulas("nome", "agora", "inicio", "fim");
        const std::optional<Periodo> periodo
            = periodoNomeado(nome, QDateTime::fromString(agora, Qt::ISODateWithMs));
        QCOMPARE(periodo.has_value(), !inicio.isEmpty());
        if (periodo) {
            QCOMPARE(periodo->inicio.toUTC().toString(Qt::ISODate), QString(inicio));
            QCOMPARE(periodo->fim.toUTC().toString(Qt::ISODate), QString(fim));
        }
    }

    void fileThatCannotBeWritten_data() { TestSupport::tabela("diretorios-invalidos.tsv"); }
    void fileThatCannotBeWritten()
    {
        const auto [diretorio] = TestSupport::celulas("diretorio");
        const QString destino = pasta->path() + QString::fromUtf8(diretorio);
        TestSupport::CoutCapture saida;
        QVERIFY(!gerar(false, kInicio, kFim, destino));
        QCOMPARE(QString::fromStdString(saida.text()),
                 "Falha ao abrir o arquivo do relatorio: " + destino + "/" + kNome + "\n");
        QCOMPARE(TestSupport::entradas(pasta->path()), QStringList());
    }

    void cancelWhileAStatementWaits_data() { TestSupport::tabela("cancelamentos.tsv"); }
    void cancelWhileAStatementWaits()
    {
        if (TestSupport::celulas("formato")[0] == "xlsx")
            formato = Relatorio::Formato::PastaDeTrabalho;
        std::atomic<int> enviados{0};
        int enviadosAoCancelar = -1;
        conexao->setStatementObserver([&](const std::string &) { ++enviados; });
        TestSupport::CoutCapture saida; // the cancelled statement's line
        // The report's first count waits on this lock until it is cancelled; no statement follows.
        QVERIFY(TestSupport::exec("begin; lock table evento_muda in access exclusive mode"));
        QVERIFY(!gerar(false, kInicio, kFim, {}, [&](Relatorio &relatorio) {
            const bool espera = QTest::qWaitFor([] {
                return TestSupport::scalar("select count(*) from pg_locks where not granted")
                       == "1";
            });
            enviadosAoCancelar = enviados;
            relatorio.cancelar();
            const bool parou = relatorio.wait(20000);
            QVERIFY(TestSupport::exec("rollback"));
            QVERIFY(espera && parou);
        }));
        QCOMPARE(enviados.load(), enviadosAoCancelar);
        QCOMPARE(TestSupport::entradas(pasta->path()), QStringList());
        // The connection is handed back ready for the next report.
        QVERIFY(gerar(false));
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
