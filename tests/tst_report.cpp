// The report job against the test server: the file byte for byte, its name, the failures it
// must report, names in the file's encoding, the statements it sends, progress and cancellation.

#include "db/databaseconnection.h"
#include "report/relatorio.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// Seeds rows, columns in table order; {2015-03-01 08:10} is that time in São Paulo (UTC-3).
bool semear(QString sql)
{
    sql.replace(QRegularExpression("\\{([^}]*)\\}"), "extract(epoch from timestamptz '\\1 -03')");
    return TestSupport::exec(sql.toStdString());
}

QDateTime local(int dia, int mes, int hora, int minuto = 0, int segundo = 0)
{
    return QDateTime(QDate(2015, mes, dia), QTime(hora, minuto, segundo));
}

QByteArray lerArquivo(const QString &caminho)
{
    QFile arquivo(caminho);
    return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray("<no file>");
}

// The machine's session, an operator's (the machine has no funcionario row), 14 events.
const QString kExemplo
    = "insert into treino values (1, 'Variedade 1');"
      "insert into funcionario values (2, 'Operador 1'); insert into sessao values "
      "(1, 1, {2015-03-01 08:10}, {2015-03-01 13:40}, 0, 1), (2, 2, {2015-03-01 08:30}, "
      "{2015-03-01 13:30}, 0, 1); insert into evento_muda (id_sessao, id_treino, classificacao, "
      "instante) select 2, 1, c, {2015-03-01 09:00} + 600 * c + i from (values (0, 10), (2, 3), "
      "(4, 1)) v(c, n), generate_series(1, n) i;";
const char kNome[] = "Relatorio_2015-03-01_a_2015-03-02.xls";
const char kCabecalho[] = "Per\xEDodo\tDia\tHora\r\nIn\xED"
                          "cio\t01/03/2015\t08:00:00\r\n"
                          "Fim\t02/03/2015\t18:00:00\r\n\r\nTODAS VARIEDADES\r\n";

// One summary: machine and employee time, classes A to E and their total, employee rows.
QByteArray resumo(const char *maquina, const char *pessoas, const QByteArray &classes,
                  const QByteArray &funcionarios = {})
{
    const QList<QByteArray> n = classes.split(' ');
    QByteArray texto = QByteArray("\r\nTempo acumulado da m\xE1quina\t") + maquina
                       + "\r\nTempo acumulado de funcion\xE1rios\t" + pessoas + "\r\n\r\n";
    for (int k = 0; k < 5; ++k)
        texto += "Classe " + QByteArray(1, char('A' + k)) + " produzidas\t" + n[k] + "\r\n";
    return texto + "Total produzido\t " + n[5]
           + "\r\n\r\nFuncion\xE1rio\tClasse A\tClasse B\t"
             "Classe C\tClasse D\tClasse E\tTotal\tHoras\r\n"
           + funcionarios;
}

QByteArray exemplo(bool separar)
{
    const QByteArray r = resumo("05:30:00", "05:00:00", "10 0 3 0 1 14",
                                "Operador 1\t10\t0\t3\t0\t1\t14\t05:00:00\r\n");
    return kCabecalho + r + "\r\nVariedade 1\r\n"
           + (separar ? "\r\nSess\xE3o in\xED"
                        "cio:\t"
                        "01/03/2015\t08:10\r\nFim:\t01/03/2015\t13:40\r\n"
                      : "")
           + r;
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

    std::unique_ptr<DatabaseConnection> conexao;
    std::unique_ptr<QTemporaryDir> pasta;

    // Runs a report in its thread, as the window does, calls `durante` meanwhile, and checks what
    // every run shows: one outcome; progress never going back nor past its plan, ending on it.
    bool gerar(bool separar, const QDateTime &inicio = local(1, 3, 8),
               const QDateTime &fim = local(2, 3, 18), const QString &diretorio = {},
               const std::function<void(Relatorio &)> &durante = {})
    {
        Relatorio relatorio;
        const QString destino = diretorio.isNull() ? pasta->path() : diretorio;
        relatorio.configurar(conexao.get(), inicio, fim, 5, destino.toStdString(), separar);
        // Recorded on the job's thread under a lock of our own, so that a
        // race detector sees the hand-over (Qt's own locks are invisible to it).
        std::mutex trava;
        std::vector<bool> gerado;
        std::vector<std::pair<int, int>> passos;
        QObject::connect(
            &relatorio, &Relatorio::relatorioGerado, &relatorio,
            [&](bool ok) {
                const std::lock_guard<std::mutex> g(trava);
                gerado.push_back(ok);
            },
            Qt::DirectConnection);
        QObject::connect(
            &relatorio, &Relatorio::progresso, &relatorio,
            [&](int feitos, int previstos) {
                const std::lock_guard<std::mutex> g(trava);
                passos.emplace_back(feitos, previstos);
            },
            Qt::DirectConnection);
        relatorio.start();
        if (durante)
            durante(relatorio);
        relatorio.wait();
        const std::lock_guard<std::mutex> g(trava);
        const bool sucesso = !gerado.empty() && gerado.front();
        [&] {
            QCOMPARE(int(gerado.size()), 1);
            std::pair<int, int> antes{0, 0};
            for (const auto &passo : passos) {
                QVERIFY(passo.first >= antes.first && passo.second >= antes.second
                        && passo.first <= passo.second);
                antes = passo;
            }
            QVERIFY(!sucesso || antes.first == antes.second);
        }();
        return sucesso;
    }

private slots:
    void init()
    {
        // Dates in the file and the period bounds are local time.
        qputenv("TZ", "America/Sao_Paulo");
        tzset();
        REQUIRE_DATABASE();
        QVERIFY(TestSupport::resetTables());
        conexao = TestSupport::connect();
        QVERIFY(conexao->isConnected());
        pasta = std::make_unique<QTemporaryDir>();
    }

    void file_data()
    {
        QTest::addColumn<QString>("dados");
        QTest::addColumn<bool>("separar");
        QTest::addColumn<QByteArray>("esperado");
        QTest::addColumn<bool>("sucesso");
        const auto linha = [](const char *caso, const QString &dados, bool separar,
                              const QByteArray &esperado, bool sucesso = true) {
            QTest::newRow(caso) << dados << separar << esperado << sucesso;
        };
        linha("worked example, whole period", kExemplo, false, exemplo(false));
        linha("worked example, separated sessions", kExemplo, true, exemplo(true));
        // Alface: sessions from the evening before and in the period; Berinjela: events but no
        // machine session; Cenoura: a machine session covering the period.
        linha("separated: a block per machine session in the period, with its real bounds",
              "insert into treino values (1, 'Alface'), (2, 'Berinjela'), (3, 'Cenoura');"
              "insert into sessao values (1, 1, {2015-02-28 22:00}, {2015-03-01 09:30}, 0, 1),"
              "(2, 1, {2015-03-01 12:00}, {2015-03-01 14:00}, 0, 1),"
              "(3, 1, {2015-03-01 07:00}, {2015-03-02 19:00}, 0, 3);"
              "insert into evento_muda values (1, 1, 1, 0, {2015-02-28 23:00}),"
              "(2, 1, 1, 1, {2015-03-01 09:00}), (3, 2, 1, 2, {2015-03-01 13:00}),"
              "(4, 0, 2, 3, {2015-03-01 10:00}), (5, 3, 3, 4, {2015-03-01 11:00})",
              true,
              kCabecalho + resumo("03:30:00", "00:00:00", "0 1 1 1 1 4")
                  + "\r\nAlface\r\n\r\nSess\xE3o in\xED"
                    "cio:\t28/02/2015\t22:00\r\nFim:\t"
                    "01/03/2015\t09:30\r\n"
                  + resumo("11:30:00", "00:00:00", "1 1 0 0 0 2")
                  + "\r\nAlface\r\n\r\nSess\xE3o in\xED"
                    "cio:\t01/03/2015\t12:00\r\nFim:\t"
                    "01/03/2015\t14:00\r\n"
                  + resumo("02:00:00", "00:00:00", "0 0 1 0 0 1"));
        // Names in Windows-1252, as the labels; nothing can shift a cell or split a row.
        const auto nome = [&](const char *caso, const char *texto, const QByteArray &bytes) {
            linha(caso,
                  kExemplo
                      + QString("update treino set nome=$n$%1$n$; update funcionario "
                                "set nome=$n$%1$n$")
                            .arg(QString::fromUtf8(texto)),
                  false, exemplo(false).replace("Variedade 1", bytes).replace("Operador 1", bytes));
        };
        nome("name with an accent", "José", "Jos\xE9");
        nome("name in Windows-1252, not Latin-1", "€ Œuvre", "\x80 \x8Cuvre");
        nome("name outside Windows-1252", "Жora A\U0001F600B", "?ora A?B");
        nome("name with tab, CR and LF", "Ana\tMaria\r\nB", "Ana Maria  B");
        // Still written to its end, with the values of the failed statements.
        linha("connection lost: a failure",
              "select pg_terminate_backend(pid) from "
              "pg_stat_activity where usename = 'quorbel' and pid <> pg_backend_pid()",
              false, kCabecalho + resumo("00:00:00", "00:00:00", "-1 -1 -1 -1 -1 -5"), false);
    }

    void file()
    {
        QFETCH(QString, dados);
        QFETCH(bool, separar);
        QFETCH(QByteArray, esperado);
        QFETCH(bool, sucesso);
        QVERIFY(semear(dados));
        TestSupport::CoutCapture saida; // the failed statements' lines
        QCOMPARE(gerar(separar), sucesso);
        QCOMPARE(saida.text().empty(), sucesso);
        QCOMPARE(QDir(pasta->path()).entryList(QDir::Files), QStringList{kNome});
        QCOMPARE(lerArquivo(pasta->path() + "/" + kNome), esperado);
    }

    void withinOneEvening()
    {
        QVERIFY(semear(kExemplo));
        const QString caminho = pasta->path() + "/Relatorio_2015-03-10_a_2015-03-10.xls";
        // 22:30 in São Paulo is already the next day in UTC. No events: the first block only.
        QVERIFY(gerar(false, local(10, 3, 22, 30), local(10, 3, 23, 59, 59)));
        const QByteArray escrito = lerArquivo(caminho);
        QCOMPARE(escrito, "Per\xEDodo\tDia\tHora\r\nIn\xED"
                          "cio\t10/03/2015\t22:30:00\r\nFim\t"
                          "10/03/2015\t23:59:59\r\n\r\nTODAS VARIEDADES\r\n"
                              + resumo("00:00:00", "00:00:00", "0 0 0 0 0 0"));
        // An empty span fails quietly, and neither creates nor truncates a file.
        TestSupport::CoutCapture saida;
        QVERIFY(!gerar(false, local(10, 3, 22, 30), local(10, 3, 22, 30)));
        QCOMPARE(QString::fromStdString(saida.text()), QString());
        QCOMPARE(lerArquivo(caminho), escrito);
    }

    void fileThatCannotBeWritten()
    {
        const QString diretorio = pasta->path() + "/nao-existe";
        TestSupport::CoutCapture saida;
        QVERIFY(!gerar(false, local(1, 3, 8), local(2, 3, 18), diretorio));
        QCOMPARE(QString::fromStdString(saida.text()),
                 "Falha ao abrir o arquivo do relatorio: " + diretorio + "/" + kNome + "\n");
        // Every write to /dev/full fails as on a full disk.
        QVERIFY(QFile::link("/dev/full", pasta->path() + "/" + kNome));
        QVERIFY(!gerar(false));
    }

    void statementSequence()
    {
        QVERIFY(semear(kExemplo));
        QStringList enviados;
        conexao->setStatementObserver(
            [&](const std::string &sql) { enviados << QString::fromStdString(sql); });
        QVERIFY(gerar(false));
        // Each statement by what tells it apart (tst_model checks the whole texts): the summary of
        // all varieties, the varieties and their classes, then the summary of variety 1.
        QStringList resumo = {"where s.id_funcionario=1 and", "where s.id_funcionario <> 1 and"};
        for (const QString k : {"0", "1", "2", "3", "4"})
            resumo << "select count(*) from evento_muda where classificacao=" + k;
        resumo << "select distinct f.id,f.nome,f.ativo,f.apelido from funcionario f";
        for (const QString k : {"0", "1", "2", "3", "4"})
            resumo << "left join evento_muda e on s.id=e.id_sessao and e.classificacao=" + k;
        resumo << "where s.id_funcionario=2 and";
        const QStringList esperado
            = resumo
              + QStringList{"from treino v where",
                            "from numero_classificacao_treino where id_treino=1"}
              + resumo;
        QCOMPARE(enviados.size(), esperado.size());
        for (int i = 0; i < esperado.size(); ++i) {
            QVERIFY2(enviados[i].contains(esperado[i]), qPrintable(enviados[i]));
            QCOMPARE(enviados[i].contains("id_treino=1"), i > resumo.size());
        }
    }

    void cancelWhileAStatementWaits()
    {
        std::atomic<int> enviados{0};
        int enviadosAoCancelar = -1;
        conexao->setStatementObserver([&](const std::string &) { ++enviados; });
        TestSupport::CoutCapture saida; // the cancelled statement's line
        // The report's first count waits on this lock until it is cancelled; no statement follows.
        QVERIFY(TestSupport::exec("begin; lock table evento_muda in access exclusive mode"));
        QVERIFY(!gerar(false, local(1, 3, 8), local(2, 3, 18), {}, [&](Relatorio &relatorio) {
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
        // The connection is handed back ready for the next report.
        QVERIFY(gerar(false));
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
