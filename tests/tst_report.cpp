// The report job against the test server: the file byte for byte in both
// modes, its name, the failures it must report, the names in the file's
// encoding, the statements it sends, its thread, progress and cancellation.

#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "report/relatorio.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <libpq-fe.h>

#include <atomic>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Every line of the file ends with CR LF, the last one included.
QByteArray linhas(const QList<QByteArray> &texto)
{
    QByteArray bytes;
    for (const QByteArray &linha : texto)
        bytes += linha + "\r\n";
    return bytes;
}

// An instant of the test data, as the database computes it from a local
// time of São Paulo (UTC-3 in March 2015).
std::string instante(const char *local)
{
    return std::string("extract(epoch from timestamptz '") + local + " -03')::int";
}

long segundos(const char *local)
{
    return std::stol(TestSupport::scalar("select " + instante(local)));
}

QDateTime local(int dia, int mes, int hora, int minuto = 0, int segundo = 0)
{
    return QDateTime(QDate(2015, mes, dia), QTime(hora, minuto, segundo));
}

QByteArray lerArquivo(const QString &caminho)
{
    QFile arquivo(caminho);
    if (!arquivo.open(QIODevice::ReadOnly))
        return QByteArray("<no file>");
    return arquivo.readAll();
}

// One variety, one employee besides the machine's account (which has no
// funcionario row, so the employee table lists only the operator), one
// machine session, one operator session and 14 events inside both.
bool criarExemplo()
{
    return TestSupport::exec(
        "insert into treino (id, nome, ativo, diretorio, num_classificacoes) "
        "values (1, 'Variedade 1', true, 'C:/treinos/1', 5);"
        "insert into numero_classificacao_treino (id_treino, num_classificacao, num_fotos) "
        "select 1, c, 50 from generate_series(0, 4) c;"
        "insert into funcionario (id, nome, apelido, ativo) values (2, 'Operador 1', 'op', true);"
        "insert into sessao (id, id_funcionario, instante_inicial, instante_final, sensor, "
        "id_treino) values "
        "(1, 1, " + instante("2015-03-01 08:10") + ", " + instante("2015-03-01 13:40") + ", 0, 1),"
        "(2, 2, " + instante("2015-03-01 08:30") + ", " + instante("2015-03-01 13:30") + ", 0, 1);"
        "insert into evento_muda (id_sessao, id_treino, classificacao, instante) "
        "select 2, 1, v.c, " + instante("2015-03-01 09:00") + " + 600 * v.c + i "
        "from (values (0, 10), (2, 3), (4, 1)) v(c, n), generate_series(1, v.n) i");
}

const QList<QByteArray> kCabecalhoExemplo = {
    "Per\xEDodo\tDia\tHora",
    "In\xED" "cio\t01/03/2015\t08:00:00",
    "Fim\t02/03/2015\t18:00:00",
    "",
    "TODAS VARIEDADES",
};

const QList<QByteArray> kResumoExemplo = {
    "",
    "Tempo acumulado da m\xE1quina\t05:30:00",
    "Tempo acumulado de funcion\xE1rios\t05:00:00",
    "",
    "Classe A produzidas\t10",
    "Classe B produzidas\t0",
    "Classe C produzidas\t3",
    "Classe D produzidas\t0",
    "Classe E produzidas\t1",
    "Total produzido\t 14",
    "",
    "Funcion\xE1rio\tClasse A\tClasse B\tClasse C\tClasse D\tClasse E\tTotal\tHoras",
    "Operador 1\t10\t0\t3\t0\t1\t14\t05:00:00",
};

// A summary of a span without sessions or events.
QList<QByteArray> resumoVazio()
{
    return {
        "",
        "Tempo acumulado da m\xE1quina\t00:00:00",
        "Tempo acumulado de funcion\xE1rios\t00:00:00",
        "",
        "Classe A produzidas\t0",
        "Classe B produzidas\t0",
        "Classe C produzidas\t0",
        "Classe D produzidas\t0",
        "Classe E produzidas\t0",
        "Total produzido\t 0",
        "",
        "Funcion\xE1rio\tClasse A\tClasse B\tClasse C\tClasse D\tClasse E\tTotal\tHoras",
    };
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

// Restores a table renamed by a test, whatever the test's outcome.
struct TabelaRenomeada
{
    std::string de;
    std::string para;
    ~TabelaRenomeada() { TestSupport::exec("alter table " + para + " rename to " + de); }
};

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void workedExample_data();
    void workedExample();
    void separatedSessionsFollowTheMachine();
    void fileName_data();
    void fileName();
    void periodWithoutEventsHasOnlyTheFirstBlock();
    void startNotBeforeEnd_data();
    void startNotBeforeEnd();
    void missingDirectory();

    void failedStatementsMakeItFail_data();
    void failedStatementsMakeItFail();
    void writeErrorMakesItFail();
    void namesInTheFileEncoding_data();
    void namesInTheFileEncoding();

    void statementSequence_data();
    void statementSequence();

    void jobReportsOnceWithProgress_data();
    void jobReportsOnceWithProgress();
    void cancellation_data();
    void cancellation();

private:
    bool gerar(const QDateTime &inicio, const QDateTime &fim, bool separar,
               QString *caminho = nullptr, const QString &diretorio = QString());

    std::unique_ptr<DatabaseConnection> conexao;
    std::unique_ptr<QTemporaryDir> pasta;
};

void TestReport::initTestCase()
{
    // Dates in the file and the period bounds are local time.
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    REQUIRE_DATABASE();
}

void TestReport::init()
{
    QVERIFY(TestSupport::resetTables());
    conexao = TestSupport::connect();
    QVERIFY(conexao->isConnected());
    pasta = std::make_unique<QTemporaryDir>();
    QVERIFY(pasta->isValid());
}

void TestReport::cleanup()
{
    conexao.reset();
    pasta.reset();
}

bool TestReport::gerar(const QDateTime &inicio, const QDateTime &fim, bool separar,
                       QString *caminho, const QString &diretorio)
{
    Relatorio relatorio;
    relatorio.configurar(conexao.get(), inicio, fim, 5,
                         (diretorio.isNull() ? pasta->path() : diretorio).toStdString(), separar);
    if (caminho)
        *caminho = QString::fromStdString(relatorio.caminhoArquivo());
    return relatorio.gerar();
}

void TestReport::workedExample_data()
{
    QTest::addColumn<bool>("separar");
    QTest::addColumn<QByteArray>("esperado");

    QTest::newRow("whole period") << false
                                  << linhas(kCabecalhoExemplo + kResumoExemplo
                                            + QList<QByteArray>{"", "Variedade 1"}
                                            + kResumoExemplo);
    QTest::newRow("separated sessions")
        << true
        << linhas(kCabecalhoExemplo + kResumoExemplo
                  + QList<QByteArray>{"", "Variedade 1", "",
                                      "Sess\xE3o in\xED" "cio:\t01/03/2015\t08:10",
                                      "Fim:\t01/03/2015\t13:40"}
                  + kResumoExemplo);
}

void TestReport::workedExample()
{
    QFETCH(bool, separar);
    QFETCH(QByteArray, esperado);
    QVERIFY(criarExemplo());

    QString caminho;
    TestSupport::CoutCapture saida;
    QVERIFY(gerar(local(1, 3, 8), local(2, 3, 18), separar, &caminho));
    QCOMPARE(QString::fromStdString(saida.text()), QString());
    QCOMPARE(caminho, pasta->path() + "/Relatorio_2015-03-01_a_2015-03-02.xls");
    QCOMPARE(lerArquivo(caminho), esperado);
}

void TestReport::separatedSessionsFollowTheMachine()
{
    // Alface: a machine session that began the evening before the period and
    // one inside it. Berinjela: events but no machine session. Cenoura: one
    // machine session that covers the whole period.
    QVERIFY(TestSupport::exec(
        "insert into treino (id, nome, num_classificacoes) values "
        "(1, 'Alface', 5), (2, 'Berinjela', 5), (3, 'Cenoura', 5);"
        "insert into sessao (id, id_funcionario, instante_inicial, instante_final, sensor, "
        "id_treino) values "
        "(1, 1, " + instante("2015-03-01 22:00") + ", " + instante("2015-03-02 09:30") + ", 0, 1),"
        "(2, 1, " + instante("2015-03-02 12:00") + ", " + instante("2015-03-02 14:00") + ", 0, 1),"
        "(3, 1, " + instante("2015-03-02 07:00") + ", " + instante("2015-03-02 19:00") + ", 0, 3);"
        "insert into evento_muda (id_sessao, id_treino, classificacao, instante) values "
        "(1, 1, 0, " + instante("2015-03-01 23:00") + "),"
        "(1, 1, 1, " + instante("2015-03-02 09:00") + "),"
        "(2, 1, 2, " + instante("2015-03-02 13:00") + "),"
        "(0, 2, 3, " + instante("2015-03-02 10:00") + "),"
        "(3, 3, 4, " + instante("2015-03-02 11:00") + ")"));

    const auto resumo = [](const char *maquina, int a, int b, int c, int d, int e) {
        QList<QByteArray> texto = resumoVazio();
        texto[1] = QByteArray("Tempo acumulado da m\xE1quina\t") + maquina;
        const int contagens[] = {a, b, c, d, e};
        for (int k = 0; k < 5; ++k)
            texto[4 + k] = "Classe " + QByteArray(1, char('A' + k)) + " produzidas\t"
                           + QByteArray::number(contagens[k]);
        texto[9] = "Total produzido\t " + QByteArray::number(a + b + c + d + e);
        return texto;
    };
    const QList<QByteArray> cabecalho = {
        "Per\xEDodo\tDia\tHora",
        "In\xED" "cio\t02/03/2015\t08:00:00",
        "Fim\t02/03/2015\t18:00:00",
        "",
        "TODAS VARIEDADES",
    };
    // The first block covers the period; each session block covers its
    // session whole, events before the period included.
    const QByteArray esperado = linhas(
        cabecalho + resumo("03:30:00", 0, 1, 1, 1, 1)
        + QList<QByteArray>{"", "Alface", "", "Sess\xE3o in\xED" "cio:\t01/03/2015\t22:00",
                            "Fim:\t02/03/2015\t09:30"}
        + resumo("11:30:00", 1, 1, 0, 0, 0)
        + QList<QByteArray>{"", "Alface", "", "Sess\xE3o in\xED" "cio:\t02/03/2015\t12:00",
                            "Fim:\t02/03/2015\t14:00"}
        + resumo("02:00:00", 0, 0, 1, 0, 0));

    QString caminho;
    QVERIFY(gerar(local(2, 3, 8), local(2, 3, 18), true, &caminho));
    QCOMPARE(lerArquivo(caminho), esperado);

    // Without separation every variety with events has its block, by name.
    QVERIFY(gerar(local(2, 3, 8), local(2, 3, 18), false, &caminho));
    const QByteArray inteiro = lerArquivo(caminho);
    const int alface = inteiro.indexOf("\r\nAlface\r\n");
    const int berinjela = inteiro.indexOf("\r\nBerinjela\r\n");
    const int cenoura = inteiro.indexOf("\r\nCenoura\r\n");
    QVERIFY(alface > 0);
    QVERIFY(berinjela > alface);
    QVERIFY(cenoura > berinjela);
}

void TestReport::fileName_data()
{
    QTest::addColumn<QString>("sufixo");
    QTest::addColumn<QDateTime>("inicio");
    QTest::addColumn<QDateTime>("fim");
    QTest::addColumn<QString>("nome");

    QTest::newRow("within one day")
        << "" << local(2, 3, 8) << local(2, 3, 18) << "/Relatorio_2015-03-02_a_2015-03-02.xls";
    QTest::newRow("across a month")
        << "" << local(31, 3, 22) << local(1, 4, 6) << "/Relatorio_2015-03-31_a_2015-04-01.xls";
    // 22:30 in São Paulo is already the next day in UTC.
    QTest::newRow("local date, not UTC")
        << "" << local(1, 3, 22, 30) << local(1, 3, 23, 59, 59)
        << "/Relatorio_2015-03-01_a_2015-03-01.xls";
    QTest::newRow("directory ending in a slash")
        << "/" << local(2, 3, 8) << local(3, 3, 8) << "/Relatorio_2015-03-02_a_2015-03-03.xls";
}

void TestReport::fileName()
{
    QFETCH(QString, sufixo);
    QFETCH(QDateTime, inicio);
    QFETCH(QDateTime, fim);
    QFETCH(QString, nome);

    QString caminho;
    QVERIFY(gerar(inicio, fim, false, &caminho, pasta->path() + sufixo));
    QCOMPARE(caminho, pasta->path() + sufixo + nome);
    QCOMPARE(QDir(pasta->path()).entryList(QDir::Files), QStringList{nome.mid(1)});
    QVERIFY(lerArquivo(caminho).startsWith("Per\xEDodo\tDia\tHora\r\n"));
}

void TestReport::periodWithoutEventsHasOnlyTheFirstBlock()
{
    QVERIFY(criarExemplo());
    QString caminho;
    QVERIFY(gerar(local(10, 3, 0), local(11, 3, 0), false, &caminho));
    QCOMPARE(lerArquivo(caminho), linhas(QList<QByteArray>{"Per\xEDodo\tDia\tHora",
                                                           "In\xED" "cio\t10/03/2015\t00:00:00",
                                                           "Fim\t11/03/2015\t00:00:00", "",
                                                           "TODAS VARIEDADES"}
                                         + resumoVazio()));
}

void TestReport::startNotBeforeEnd_data()
{
    QTest::addColumn<QDateTime>("inicio");
    QTest::addColumn<QDateTime>("fim");
    QTest::addColumn<bool>("arquivoAnterior");

    QTest::newRow("equal, no file before") << local(2, 3, 8) << local(2, 3, 8) << false;
    QTest::newRow("equal, a file before") << local(2, 3, 8) << local(2, 3, 8) << true;
    QTest::newRow("end before start, a file before") << local(2, 3, 18) << local(2, 3, 8) << true;
}

void TestReport::startNotBeforeEnd()
{
    QFETCH(QDateTime, inicio);
    QFETCH(QDateTime, fim);
    QFETCH(bool, arquivoAnterior);
    QVERIFY(criarExemplo());

    const QString caminho = pasta->path() + "/Relatorio_2015-03-02_a_2015-03-02.xls";
    if (arquivoAnterior) {
        QFile anterior(caminho);
        QVERIFY(anterior.open(QIODevice::WriteOnly));
        anterior.write("relatorio anterior");
    }
    TestSupport::CoutCapture saida;
    QVERIFY(!gerar(inicio, fim, false));
    QCOMPARE(QString::fromStdString(saida.text()), QString());
    if (arquivoAnterior)
        QCOMPARE(lerArquivo(caminho), QByteArray("relatorio anterior"));
    else
        QVERIFY(QDir(pasta->path()).isEmpty());
}

void TestReport::missingDirectory()
{
    QVERIFY(criarExemplo());
    const QString diretorio = pasta->path() + "/nao-existe";
    const QString caminho = diretorio + "/Relatorio_2015-03-01_a_2015-03-02.xls";
    TestSupport::CoutCapture saida;
    QVERIFY(!gerar(local(1, 3, 8), local(2, 3, 18), false, nullptr, diretorio));
    QCOMPARE(QString::fromStdString(saida.text()),
             "Falha ao abrir o arquivo do relatorio: " + caminho + "\n");
    QVERIFY(!QFileInfo::exists(diretorio));
}

void TestReport::failedStatementsMakeItFail_data()
{
    QTest::addColumn<QString>("falha");
    QTest::addColumn<QByteArray>("trecho");
    QTest::addColumn<QByteArray>("final");

    // The file is still written to its end, with the values of failed
    // statements, as before; only the outcome changes.
    QTest::newRow("employee table missing")
        << "tabela" << QByteArray("\r\nVariedade 1\r\n")
        << QByteArray("\tTotal\tHoras\r\n");
    QTest::newRow("connection lost")
        << "conexao" << QByteArray("Classe A produzidas\t-1\r\n")
        << QByteArray("Total produzido\t -5\r\n\r\nFuncion\xE1rio\tClasse A\tClasse B\tClasse C"
                      "\tClasse D\tClasse E\tTotal\tHoras\r\n");
}

void TestReport::failedStatementsMakeItFail()
{
    QFETCH(QString, falha);
    QFETCH(QByteArray, trecho);
    QFETCH(QByteArray, final);
    QVERIFY(criarExemplo());

    std::unique_ptr<TabelaRenomeada> renomeada;
    if (falha == "tabela") {
        QVERIFY(TestSupport::exec("alter table funcionario rename to funcionario_fora"));
        renomeada.reset(new TabelaRenomeada{"funcionario", "funcionario_fora"});
    } else {
        const int pid = PQbackendPID(conexao->handle());
        QVERIFY(TestSupport::exec("select pg_terminate_backend(" + std::to_string(pid) + ")"));
    }

    QString caminho;
    TestSupport::CoutCapture saida;
    QVERIFY(!gerar(local(1, 3, 8), local(2, 3, 18), false, &caminho));
    QVERIFY(!saida.text().empty());
    const QByteArray conteudo = lerArquivo(caminho);
    QVERIFY2(conteudo.contains(trecho), conteudo.constData());
    QVERIFY2(conteudo.endsWith(final), conteudo.constData());
}

void TestReport::writeErrorMakesItFail()
{
    QVERIFY(criarExemplo());
    const QString caminho = pasta->path() + "/Relatorio_2015-03-01_a_2015-03-02.xls";
    // Every write to /dev/full fails as on a full disk.
    QVERIFY(QFile::link("/dev/full", caminho));
    QVERIFY(!gerar(local(1, 3, 8), local(2, 3, 18), false));
}

void TestReport::namesInTheFileEncoding_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("plain") << "Operador 1" << QByteArray("Operador 1");
    QTest::newRow("accent") << QString::fromUtf8("José") << QByteArray("\x4A\x6F\x73\xE9");
    QTest::newRow("cedilla and tilde") << QString::fromUtf8("Maçã") << QByteArray("Ma\xE7\xE3");
    QTest::newRow("Windows-1252, not Latin-1") << QString::fromUtf8("€ Œuvre")
                                               << QByteArray("\x80 \x8Cuvre");
    QTest::newRow("Cyrillic letter") << QString::fromUtf8("Жora") << QByteArray("?ora");
    QTest::newRow("outside the BMP") << QString::fromUtf8("A\U0001F600B") << QByteArray("A?B");
    QTest::newRow("tab") << "Ana\tMaria" << QByteArray("Ana Maria");
    QTest::newRow("CR LF") << "Ana\r\nMaria" << QByteArray("Ana  Maria");
}

void TestReport::namesInTheFileEncoding()
{
    QFETCH(QString, nome);
    QFETCH(QByteArray, bytes);
    QVERIFY(criarExemplo());

    // The owner connection sends UTF-8; E'' keeps the control characters.
    std::string literal = "E'";
    for (const char c : nome.toStdString()) {
        if (c == '\t')
            literal += "\\t";
        else if (c == '\r')
            literal += "\\r";
        else if (c == '\n')
            literal += "\\n";
        else
            literal += c;
    }
    literal += "'";
    QVERIFY(TestSupport::exec("update treino set nome=" + literal + "; update funcionario set nome="
                              + literal));

    QString caminho;
    QVERIFY(gerar(local(1, 3, 8), local(2, 3, 18), false, &caminho));
    const QByteArray conteudo = lerArquivo(caminho);
    QVERIFY2(conteudo.contains("\r\n\r\n" + bytes + "\r\n"), conteudo.constData());
    QVERIFY2(conteudo.contains("\r\n" + bytes + "\t10\t0\t3\t0\t1\t14\t05:00:00\r\n"),
             conteudo.constData());
    // Every row keeps its cells: the body has exactly the example's lines.
    QCOMPARE(conteudo.count("\r\n"), 33);
    QCOMPARE(conteudo.count('\n'), 33);
    QVERIFY(conteudo.startsWith(linhas(kCabecalhoExemplo)));
}

void TestReport::statementSequence_data()
{
    QTest::addColumn<bool>("separar");
    QTest::newRow("whole period") << false;
    QTest::newRow("separated sessions") << true;
}

void TestReport::statementSequence()
{
    QFETCH(bool, separar);
    QVERIFY(criarExemplo());

    std::vector<std::string> enviados;
    conexao->setStatementObserver([&](const std::string &sql) { enviados.push_back(sql); });
    QVERIFY(gerar(local(1, 3, 8), local(2, 3, 18), separar));

    const QString t0 = QString::number(segundos("2015-03-01 08:00"));
    const QString t1 = QString::number(segundos("2015-03-02 18:00"));
    const QString s0 = QString::number(segundos("2015-03-01 08:10"));
    const QString s1 = QString::number(segundos("2015-03-01 13:40"));

    // The statements of one summary; %1 and %2 are its span.
    const QStringList todas = {
        "select s.instante_inicial,s.instante_final from sessao s where s.id_funcionario=1 and "
        "(s.instante_inicial between %1 and %2 or s.instante_final between %1 and %2) "
        "group by s.id order by s.instante_inicial",
        "select s.instante_inicial,s.instante_final from sessao s where s.id_funcionario <> 1 "
        "and (s.instante_inicial between %1 and %2 or s.instante_final between %1 and %2) "
        "group by s.id order by s.instante_inicial",
        "select count(*) from evento_muda where classificacao=0 and instante between %1 and %2",
        "select count(*) from evento_muda where classificacao=1 and instante between %1 and %2",
        "select count(*) from evento_muda where classificacao=2 and instante between %1 and %2",
        "select count(*) from evento_muda where classificacao=3 and instante between %1 and %2",
        "select count(*) from evento_muda where classificacao=4 and instante between %1 and %2",
        "select distinct f.id,f.nome,f.ativo,f.apelido from funcionario f, sessao s where "
        "f.id=s.id_funcionario and (s.instante_inicial between %1 and %2 or s.instante_final "
        "between %1 and %2) order by f.nome,f.id",
    };
    QStringList producao;
    for (int k = 0; k < 5; ++k)
        producao << "select coalesce(total,0) from funcionario f1 left join (select f.id as "
                    "id,count(distinct e.id) as total from funcionario f, sessao s left join "
                    "evento_muda e on s.id=e.id_sessao and e.classificacao="
                        + QString::number(k)
                        + "%3 where f.id=s.id_funcionario and (s.instante_inicial between %1 "
                          "and %2 or s.instante_final between %1 and %2) and e.id_sessao=s.id "
                          "group by f.id) eventos on f1.id = eventos.id where f1.id in (2)  "
                          "order by f1.nome asc,f1.id asc";
    const QString horas = "select s.instante_inicial,s.instante_final from sessao s where "
                          "s.id_funcionario=2 and %3(s.instante_inicial between %1 and %2 or "
                          "s.instante_final between %1 and %2) group by s.id order by "
                          "s.instante_inicial";
    const QStringList daVariedade = {
        "select s.instante_inicial,s.instante_final from sessao s where s.id_funcionario=1 and  "
        "s.id_treino=1 and (s.instante_inicial between %1 and %2 or s.instante_final between "
        "%1 and %2) group by s.id order by s.instante_inicial",
        "select s.instante_inicial,s.instante_final from sessao s where s.id_funcionario <> 1 "
        "and  s.id_treino=1 and (s.instante_inicial between %1 and %2 or s.instante_final "
        "between %1 and %2) group by s.id order by s.instante_inicial",
        "select count(*) from evento_muda where classificacao=0 and id_treino=1 and instante "
        "between %1 and %2",
        "select count(*) from evento_muda where classificacao=1 and id_treino=1 and instante "
        "between %1 and %2",
        "select count(*) from evento_muda where classificacao=2 and id_treino=1 and instante "
        "between %1 and %2",
        "select count(*) from evento_muda where classificacao=3 and id_treino=1 and instante "
        "between %1 and %2",
        "select count(*) from evento_muda where classificacao=4 and id_treino=1 and instante "
        "between %1 and %2",
        "select distinct f.id,f.nome,f.ativo,f.apelido from funcionario f, sessao s where "
        "f.id=s.id_funcionario and s.id_treino=1 and (s.instante_inicial between %1 and %2 or "
        "s.instante_final between %1 and %2) order by f.nome,f.id",
    };

    QStringList esperado;
    for (const QString &sql : todas)
        esperado << sql.arg(t0, t1);
    for (const QString &sql : producao)
        esperado << sql.arg(t0, t1, "");
    esperado << horas.arg(t0, t1, "");
    esperado << "select v.id,v.nome,v.ativo,v.diretorio,v.num_classificacoes from treino v "
                "where v.id in (select m.id_treino from evento_muda m where m.instante >= "
                    + t0 + " and m.instante <= " + t1 + ") group by v.id order by v.nome asc";
    esperado << "select id,num_classificacao,num_fotos from numero_classificacao_treino where "
                "id_treino=1 order by num_classificacao asc";
    QString a = t0;
    QString b = t1;
    if (separar) {
        esperado << "select distinct s.id,s.id_funcionario,s.instante_inicial,s.instante_final,"
                    "s.sensor,s.id_treino from sessao s where s.id_funcionario=1 and s.sensor=0 "
                    "and s.id_treino=1 and (s.instante_inicial between "
                        + t0 + " and " + t1 + " or s.instante_final between " + t0 + " and " + t1
                        + ") order by s.instante_inicial ASC";
        a = s0;
        b = s1;
    }
    for (const QString &sql : daVariedade)
        esperado << sql.arg(a, b);
    for (const QString &sql : producao)
        esperado << sql.arg(a, b, " and e.id_treino=1");
    esperado << horas.arg(a, b, " s.id_treino=1 and ");

    QStringList obtido;
    for (const std::string &sql : enviados)
        obtido << QString::fromStdString(sql);
    QCOMPARE(obtido, esperado);
}

void TestReport::jobReportsOnceWithProgress_data()
{
    QTest::addColumn<bool>("separar");
    QTest::addColumn<int>("passos");
    // 1 + 3 varieties; or 1 + 3 machine sessions, and Tomate, which has
    // none, as one step without a summary.
    QTest::newRow("whole period") << false << 4;
    QTest::newRow("separated sessions") << true << 5;
}

void TestReport::jobReportsOnceWithProgress()
{
    QFETCH(bool, separar);
    QFETCH(int, passos);
    QVERIFY(criarExemplo());
    // A second variety with two machine sessions, a third with none.
    QVERIFY(TestSupport::exec(
        "insert into treino (id, nome, num_classificacoes) values (2, 'Alface', 5), "
        "(3, 'Tomate', 5);"
        "insert into sessao (id, id_funcionario, instante_inicial, instante_final, sensor, "
        "id_treino) values "
        "(3, 1, " + instante("2015-03-02 08:00") + ", " + instante("2015-03-02 09:00") + ", 0, 2),"
        "(4, 1, " + instante("2015-03-02 10:00") + ", " + instante("2015-03-02 11:00") + ", 0, 2);"
        "insert into evento_muda (id_sessao, id_treino, classificacao, instante) values "
        "(3, 2, 1, " + instante("2015-03-02 08:30") + "),"
        "(0, 3, 1, " + instante("2015-03-02 08:30") + ")"));

    Relatorio relatorio;
    relatorio.configurar(conexao.get(), local(1, 3, 8), local(2, 3, 18), 5,
                         pasta->path().toStdString(), separar);
    QList<bool> resultados;
    QList<QPair<int, int>> progresso;
    connect(&relatorio, &Relatorio::relatorioGerado, this,
            [&](bool sucesso) { resultados << sucesso; });
    connect(&relatorio, &Relatorio::progresso, this, [&](int feitos, int previstos) {
        // The outcome is the job's last word: no progress after it.
        QVERIFY(resultados.isEmpty());
        progresso << qMakePair(feitos, previstos);
    });
    relatorio.start();
    QTRY_COMPARE(resultados.size(), 1);
    QVERIFY(relatorio.wait(10000));
    QCoreApplication::processEvents();
    QCOMPARE(resultados, QList<bool>{true});

    const QByteArray conteudo = lerArquivo(QString::fromStdString(relatorio.caminhoArquivo()));
    QCOMPARE(conteudo.count("Tempo acumulado da m\xE1quina"), 4);
    QVERIFY(!progresso.isEmpty());
    QCOMPARE(progresso.first().first, 0);
    QCOMPARE(progresso.last(), qMakePair(passos, passos));
    for (int i = 1; i < progresso.size(); ++i) {
        QVERIFY(progresso[i].first >= progresso[i - 1].first);
        QVERIFY(progresso[i].second >= progresso[i - 1].second);
        QVERIFY(progresso[i].first <= progresso[i].second);
    }
}

void TestReport::cancellation_data()
{
    QTest::addColumn<bool>("emCurso");
    QTest::newRow("between statements") << false;
    QTest::newRow("statement in flight") << true;
}

void TestReport::cancellation()
{
    QFETCH(bool, emCurso);
    QVERIFY(criarExemplo());

    Relatorio relatorio;
    relatorio.configurar(conexao.get(), local(1, 3, 8), local(2, 3, 18), 5,
                         pasta->path().toStdString(), false);
    std::mutex trava;
    int enviados = 0;
    int enviadosAoCancelar = -1;
    conexao->setStatementObserver([&](const std::string &) {
        const std::lock_guard<std::mutex> guarda(trava);
        ++enviados;
        if (!emCurso && enviados == 5) {
            enviadosAoCancelar = enviados;
            relatorio.cancelar();
        }
    });
    QList<bool> resultados;
    connect(&relatorio, &Relatorio::relatorioGerado, this,
            [&](bool sucesso) { resultados << sucesso; });

    TestSupport::CoutCapture saida; // the cancelled statement's line
    if (emCurso) {
        // The owner holds a lock on the events until the statement waits on it.
        QVERIFY(TestSupport::exec("begin; lock table evento_muda in access exclusive mode"));
    }
    relatorio.start();
    if (emCurso) {
        QTRY_VERIFY_WITH_TIMEOUT(relatorioEsperaTrava(), 20000);
        relatorio.cancelar();
    }
    QTRY_COMPARE(resultados.size(), 1);
    QVERIFY(relatorio.wait(10000));
    if (emCurso)
        QVERIFY(TestSupport::exec("rollback"));
    QCOMPARE(resultados, QList<bool>{false});
    if (!emCurso)
        QCOMPARE(enviados, enviadosAoCancelar);

    // The connection is handed back ready, and a late cancel of a finished
    // job leaves it alone.
    relatorio.cancelar();
    conexao->setStatementObserver(nullptr);
    QVERIFY(!conexao->isInterrupted());
    const ResultPtr resultado(executeQuery(conexao.get(), "select 1"));
    QVERIFY(resultado != nullptr);
    QVERIFY(gerar(local(1, 3, 8), local(2, 3, 18), false));
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
