// The data model against the test server: the statements it sends, which
// varieties, sessions and employees it selects, the two time computations,
// the production counts, failures, and writing each entity's row.

#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "model/funcionario.h"
#include "model/numeroclassificacaotreino.h"
#include "model/sessao.h"
#include "model/treino.h"
#include "tests/testsupport.h"

#include <QTest>

#include <libpq-fe.h>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

using Call = std::function<void(DatabaseConnection *)>;
using Probe = std::function<QString(DatabaseConnection *)>;

const QString kMissing
    = QString::fromUtf8("Não foi possivel recuperar resultado do banco de dados.");

// 2015-06-01 00:00 UTC, a day safely in the past, and instants on it.
constexpr long kDia = 1433116800;
long hora(double h)
{
    return kDia + static_cast<long>(h * 3600);
}
constexpr long kFimDoDia = kDia + 86399;

QString n(long value)
{
    return QString::number(value);
}

bool exec(const QString &sql)
{
    return TestSupport::exec(sql.toStdString());
}

// Inserts a session and returns its id; no end stands for a session still open.
int addSessao(int idFuncionario, int idTreino, long inicial, std::optional<long> final,
              int sensor = 0)
{
    const QString sql = "insert into sessao (id_funcionario,instante_inicial,instante_final,"
                        "sensor,id_treino) values(%1,%2,%3,%4,%5) returning id";
    return QString::fromStdString(
               TestSupport::scalar(sql.arg(idFuncionario)
                                       .arg(inicial)
                                       .arg(final ? n(*final) : QString("null"))
                                       .arg(sensor)
                                       .arg(idTreino)
                                       .toStdString()))
        .toInt();
}

bool addEvento(int idSessao, int idTreino, int classificacao, long instante)
{
    return exec(QString("insert into evento_muda (id_sessao,id_treino,classificacao,instante) "
                        "values(%1,%2,%3,%4)")
                    .arg(idSessao)
                    .arg(idTreino)
                    .arg(classificacao)
                    .arg(instante));
}

bool addFuncionario(int id, const QString &nome, const QString &apelido = "", bool ativo = true)
{
    return exec(QString("insert into funcionario (id,nome,apelido,ativo) values(%1,'%2','%3',%4)")
                    .arg(id)
                    .arg(nome, apelido, ativo ? "true" : "false"));
}

bool addTreino(int id, const QString &nome, bool ativo = true, const QString &diretorio = "",
               int numClassificacoes = 0)
{
    return exec(QString("insert into treino (id,nome,ativo,diretorio,num_classificacoes) "
                        "values(%1,'%2',%3,'%4',%5)")
                    .arg(id)
                    .arg(nome, ativo ? "true" : "false", diretorio)
                    .arg(numClassificacoes));
}

// Sessions written as "employee/variety start-end;..." with hours of kDia;
// "?" as the end stands for a session still open.
bool addSessoes(const QString &descricao)
{
    for (const QString &item : descricao.split(';', Qt::SkipEmptyParts)) {
        const QStringList partes = item.split(' ');
        const QStringList quem = partes.at(0).split('/');
        const QStringList quando = partes.at(1).split('-');
        std::optional<long> final;
        if (quando.at(1) != "?")
            final = hora(quando.at(1).toDouble());
        if (addSessao(quem.at(0).toInt(), quem.at(1).toInt(), hora(quando.at(0).toDouble()),
                      final)
            <= 0)
            return false;
    }
    return true;
}

// Takes ownership of a list the model returns.
template <typename T>
std::vector<std::unique_ptr<T>> own(std::vector<T *> lista)
{
    return std::vector<std::unique_ptr<T>>(lista.begin(), lista.end());
}

template <typename T>
QList<int> ids(const std::vector<std::unique_ptr<T>> &lista)
{
    QList<int> result;
    for (const auto &item : lista)
        result << item->getId();
    return result;
}

QString joined(const std::vector<int> &values)
{
    QStringList texts;
    for (int value : values)
        texts << QString::number(value);
    return texts.join(',');
}

// Every SQL text sent on a connection while it lives.
class Statements
{
public:
    explicit Statements(DatabaseConnection *conexao)
        : conexao(conexao)
    {
        conexao->setStatementObserver(
            [this](const std::string &sql) { list << QString::fromStdString(sql); });
    }
    ~Statements() { conexao->setStatementObserver(nullptr); }

    QStringList list;

private:
    DatabaseConnection *conexao;
};

} // namespace

Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(Probe)
Q_DECLARE_METATYPE(std::optional<long>)

namespace QTest {
template <>
char *toString(const std::string &text)
{
    return QTest::toString(QString::fromStdString(text));
}
} // namespace QTest

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statementsAreSentAsWritten_data();
    void statementsAreSentAsWritten();
    void columnsHaveTheTypesTheGettersRead_data();
    void columnsHaveTheTypesTheGettersRead();

    void varietiesWithEventsComeByNameWithTheirClasses();
    void eventBoundsAreInclusive_data();
    void eventBoundsAreInclusive();
    void classEntriesComeInClassOrder();
    void failedClassQueryLeavesVarietyWithoutEntries();

    void sessionSelection_data();
    void sessionSelection();
    void degenerateSpans_data();
    void degenerateSpans();
    void sessionListFiltersAndOrder();
    void openSessionInListEndsAtSpanEnd();

    void timeAccounting_data();
    void timeAccounting();
    void openSessionCountsUpToNow();

    void employeesListedOnceByName_data();
    void employeesListedOnceByName();
    void equalNamesKeepTheirOwnCounts();
    void eventCounts_data();
    void eventCounts();
    void productionPerClass_data();
    void productionPerClass();
    void productionReadsExactlyQuantidadeRows_data();
    void productionReadsExactlyQuantidadeRows();

    void failedStatementGivesDefaults_data();
    void failedStatementGivesDefaults();

    void treinoRowRoundTrip();
    void classEntryRowRoundTrip();
    void sessaoRowRoundTrip();
    void funcionarioRowRoundTrip();

private:
    static bool grantAll();
    static ResultPtr selectRow(DatabaseConnection *conexao, const Quorbel::GenericEntity &entity);
};

bool TestModel::grantAll()
{
    return TestSupport::exec("grant all on treino, numero_classificacao_treino, funcionario, "
                             "sessao, evento_muda to quorbel");
}

void TestModel::init()
{
    REQUIRE_DATABASE();
    QVERIFY(grantAll());
    QVERIFY(TestSupport::resetTables());
}

void TestModel::cleanup()
{
    // Tests that make statements fail revoke privileges; give them back.
    grantAll();
}

// Row `id` of the entity's table, its written columns in order.
ResultPtr TestModel::selectRow(DatabaseConnection *conexao, const Quorbel::GenericEntity &entity)
{
    const std::vector<std::string> names = entity.columnNames();
    std::string sql = "select ";
    for (std::size_t i = 0; i < names.size(); ++i)
        sql += (i > 0 ? "," : "") + names[i];
    sql += " from " + entity.tableName() + " where id=" + intToString(entity.getId());
    return ResultPtr(executeQuery(conexao, sql));
}

void TestModel::statementsAreSentAsWritten_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("varieties, nothing in the period: one statement")
        << Call([](DatabaseConnection *c) {
               own(Treino::listarComEventosNoPeriodo(c, 1433116800, 1435708799));
           })
        << QStringList{"select v.id,v.nome,v.ativo,v.diretorio,v.num_classificacoes from treino v "
                       "where v.id in (select m.id_treino from evento_muda m where m.instante >= "
                       "1433116800 and m.instante <= 1435708799) group by v.id order by v.nome "
                       "asc"};
    QTest::newRow("varieties, then the classes of each in name order")
        << Call([](DatabaseConnection *c) {
               addTreino(1, "Morango");
               addTreino(2, "Alface");
               addEvento(0, 1, 0, 150);
               addEvento(0, 2, 0, 160);
               own(Treino::listarComEventosNoPeriodo(c, 100, 200));
           })
        << QStringList{"select v.id,v.nome,v.ativo,v.diretorio,v.num_classificacoes from treino v "
                       "where v.id in (select m.id_treino from evento_muda m where m.instante >= "
                       "100 and m.instante <= 200) group by v.id order by v.nome asc",
                       "select id,num_classificacao,num_fotos from numero_classificacao_treino "
                       "where id_treino=2 order by num_classificacao asc",
                       "select id,num_classificacao,num_fotos from numero_classificacao_treino "
                       "where id_treino=1 order by num_classificacao asc"};
    QTest::newRow("class entries")
        << Call([](DatabaseConnection *c) {
               own(NumeroClassificacaoTreino::listarPorTreino(c, 7));
           })
        << QStringList{"select id,num_classificacao,num_fotos from numero_classificacao_treino "
                       "where id_treino=7 order by num_classificacao asc"};
    QTest::newRow("sessions")
        << Call([](DatabaseConnection *c) { own(Sessao::listarPorPeriodo(c, 100, 200, 7, 1, 0)); })
        << QStringList{"select distinct s.id,s.id_funcionario,s.instante_inicial,s.instante_final,"
                       "s.sensor,s.id_treino from sessao s where s.id_funcionario=1 and "
                       "s.sensor=0 and s.id_treino=7 and (s.instante_inicial between 100 and 200 "
                       "or s.instante_final between 100 and 200) order by s.instante_inicial ASC"};
    QTest::newRow("sessions, variety 0 still filters, negative bound")
        << Call([](DatabaseConnection *c) { own(Sessao::listarPorPeriodo(c, -5, 200, 0, 2, 3)); })
        << QStringList{"select distinct s.id,s.id_funcionario,s.instante_inicial,s.instante_final,"
                       "s.sensor,s.id_treino from sessao s where s.id_funcionario=2 and "
                       "s.sensor=3 and s.id_treino=0 and (s.instante_inicial between -5 and 200 "
                       "or s.instante_final between -5 and 200) order by s.instante_inicial ASC"};
    QTest::newRow("intervals, everyone but the machine, all varieties")
        << Call([](DatabaseConnection *c) { Sessao::tempoSomado(c, 100, 200, 0, 0); })
        << QStringList{"select s.instante_inicial,s.instante_final from sessao s where "
                       "s.id_funcionario <> 1 and (s.instante_inicial between 100 and 200 or "
                       "s.instante_final between 100 and 200) group by s.id order by "
                       "s.instante_inicial"};
    QTest::newRow("intervals, one employee, one variety: two blanks")
        << Call([](DatabaseConnection *c) { Sessao::tempoCoberto(c, 100, 200, 7, 5); })
        << QStringList{"select s.instante_inicial,s.instante_final from sessao s where "
                       "s.id_funcionario=5 and  s.id_treino=7 and (s.instante_inicial between 100 "
                       "and 200 or s.instante_final between 100 and 200) group by s.id order by "
                       "s.instante_inicial"};
    QTest::newRow("intervals, negative employee is everyone but the machine")
        << Call([](DatabaseConnection *c) { Sessao::tempoCoberto(c, 100, 200, 0, -2); })
        << QStringList{"select s.instante_inicial,s.instante_final from sessao s where "
                       "s.id_funcionario <> 1 and (s.instante_inicial between 100 and 200 or "
                       "s.instante_final between 100 and 200) group by s.id order by "
                       "s.instante_inicial"};
    QTest::newRow("employees, all varieties")
        << Call([](DatabaseConnection *c) { own(Funcionario::listarPorPeriodo(c, 100, 200, 0)); })
        << QStringList{"select distinct f.id,f.nome,f.ativo,f.apelido from funcionario f, sessao s "
                       "where f.id=s.id_funcionario and (s.instante_inicial between 100 and 200 "
                       "or s.instante_final between 100 and 200) order by f.nome,f.id"};
    QTest::newRow("employees, one variety")
        << Call([](DatabaseConnection *c) { own(Funcionario::listarPorPeriodo(c, 100, 200, 7)); })
        << QStringList{"select distinct f.id,f.nome,f.ativo,f.apelido from funcionario f, sessao s "
                       "where f.id=s.id_funcionario and s.id_treino=7 and (s.instante_inicial "
                       "between 100 and 200 or s.instante_final between 100 and 200) order by "
                       "f.nome,f.id"};
    QTest::newRow("event count, all varieties")
        << Call([](DatabaseConnection *c) { Funcionario::contarEventos(c, 2, 100, 200, 0); })
        << QStringList{"select count(*) from evento_muda where classificacao=2 and instante "
                       "between 100 and 200"};
    QTest::newRow("event count, one variety")
        << Call([](DatabaseConnection *c) { Funcionario::contarEventos(c, 2, 100, 200, 7); })
        << QStringList{"select count(*) from evento_muda where classificacao=2 and id_treino=7 and "
                       "instante between 100 and 200"};
    QTest::newRow("production, two ids: two blanks before order")
        << Call([](DatabaseConnection *c) {
               Funcionario::producaoPorClasse(c, 2, 100, 200, 2, 7, {4, 9});
           })
        << QStringList{"select coalesce(total,0) from funcionario f1 left join (select f.id as "
                       "id,count(distinct e.id) as total from funcionario f, sessao s left join "
                       "evento_muda e on s.id=e.id_sessao and e.classificacao=2 and e.id_treino=7 "
                       "where f.id=s.id_funcionario and (s.instante_inicial between 100 and 200 or "
                       "s.instante_final between 100 and 200) and e.id_sessao=s.id group by f.id) "
                       "eventos on f1.id = eventos.id where f1.id in (4,9)  order by f1.nome "
                       "asc,f1.id asc"};
    QTest::newRow("production, one id")
        << Call([](DatabaseConnection *c) {
               Funcionario::producaoPorClasse(c, 0, 100, 200, 1, 0, {3});
           })
        << QStringList{"select coalesce(total,0) from funcionario f1 left join (select f.id as "
                       "id,count(distinct e.id) as total from funcionario f, sessao s left join "
                       "evento_muda e on s.id=e.id_sessao and e.classificacao=0 where "
                       "f.id=s.id_funcionario and (s.instante_inicial between 100 and 200 or "
                       "s.instante_final between 100 and 200) and e.id_sessao=s.id group by f.id) "
                       "eventos on f1.id = eventos.id where f1.id in (3)  order by f1.nome "
                       "asc,f1.id asc"};
    QTest::newRow("production, no ids, all varieties")
        << Call([](DatabaseConnection *c) {
               Funcionario::producaoPorClasse(c, 0, 100, 200, 0, 0, {});
           })
        << QStringList{"select coalesce(total,0) from funcionario f1 left join (select f.id as "
                       "id,count(distinct e.id) as total from funcionario f, sessao s left join "
                       "evento_muda e on s.id=e.id_sessao and e.classificacao=0 where "
                       "f.id=s.id_funcionario and (s.instante_inicial between 100 and 200 or "
                       "s.instante_final between 100 and 200) and e.id_sessao=s.id group by f.id) "
                       "eventos on f1.id = eventos.id order by f1.nome asc,f1.id asc"};
}

// Each text is compared whole, and each must run on the schema.
void TestModel::statementsAreSentAsWritten()
{
    QFETCH(Call, call);
    QFETCH(QStringList, expected);
    const auto conexao = TestSupport::connect();
    QVERIFY(conexao->isConnected());
    {
        const Statements statements(conexao.get());
        const TestSupport::CoutCapture quiet;
        call(conexao.get());
        QCOMPARE(statements.list, expected);
    }
    QCOMPARE(conexao->failedStatements(), 0);
}

void TestModel::columnsHaveTheTypesTheGettersRead_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QString>("types");

    QTest::newRow("varieties") << Call([](DatabaseConnection *c) {
        own(Treino::listarComEventosNoPeriodo(c, 100, 200));
    }) << "int4,text,bool,text,int4";
    QTest::newRow("class entries") << Call([](DatabaseConnection *c) {
        own(NumeroClassificacaoTreino::listarPorTreino(c, 7));
    }) << "int4,int4,int4";
    QTest::newRow("sessions") << Call([](DatabaseConnection *c) {
        own(Sessao::listarPorPeriodo(c, 100, 200, 7, 1, 0));
    }) << "int4,int4,int4,int4,int4,int4";
    QTest::newRow("intervals")
        << Call([](DatabaseConnection *c) { Sessao::tempoSomado(c, 100, 200, 7, 5); })
        << "int4,int4";
    QTest::newRow("employees") << Call([](DatabaseConnection *c) {
        own(Funcionario::listarPorPeriodo(c, 100, 200, 7));
    }) << "int4,text,bool,text";
    QTest::newRow("event count")
        << Call([](DatabaseConnection *c) { Funcionario::contarEventos(c, 2, 100, 200, 7); })
        << "int8";
    QTest::newRow("production") << Call([](DatabaseConnection *c) {
        Funcionario::producaoPorClasse(c, 2, 100, 200, 0, 7, {4, 9});
    }) << "int8";
    QTest::newRow("insert returning the key") << Call([](DatabaseConnection *c) {
        Funcionario(c, -1, "Ana", true, "").save();
    }) << "int4";
}

// Reruns the first statement a query sent and names its column types: whole
// numbers for getInt and getLong, bool for getBool, text for getString.
void TestModel::columnsHaveTheTypesTheGettersRead()
{
    QFETCH(Call, call);
    QFETCH(QString, types);
    const auto conexao = TestSupport::connect();
    QStringList sent;
    {
        const Statements statements(conexao.get());
        const TestSupport::CoutCapture quiet;
        call(conexao.get());
        sent = statements.list;
    }
    QVERIFY(!sent.isEmpty());
    const ResultPtr result(executeQuery(conexao.get(), sent.first().toStdString()));
    QVERIFY(result);
    QStringList names;
    for (int col = 0; col < PQnfields(result.get()); ++col) {
        names << QString::fromStdString(TestSupport::scalar(
            "select typname from pg_type where oid=" + std::to_string(PQftype(result.get(), col))));
    }
    QCOMPARE(names.join(','), types);
}

void TestModel::varietiesWithEventsComeByNameWithTheirClasses()
{
    QVERIFY(addTreino(1, "Morango", true, "C:/m", 3));
    QVERIFY(addTreino(2, "Alface", false, "D:/alface", 3));
    QVERIFY(addTreino(3, "Pera"));
    QVERIFY(addTreino(4, "Uva"));
    QVERIFY(exec("insert into numero_classificacao_treino (id,id_treino,num_classificacao,"
                 "num_fotos) values(11,2,2,20),(12,2,0,5),(13,2,1,10),(14,3,0,1)"));
    QVERIFY(addEvento(0, 1, 0, hora(9)));
    QVERIFY(addEvento(0, 1, 1, hora(12)));
    QVERIFY(addEvento(0, 1, 1, hora(13)));
    QVERIFY(addEvento(0, 2, 0, hora(17)));
    QVERIFY(addEvento(0, 3, 0, hora(9) - 1));
    // Sessions without events do not bring a variety in.
    QVERIFY(addSessoes("2/4 10-11"));

    const auto conexao = TestSupport::connect();
    const Statements statements(conexao.get());
    const auto treinos = own(Treino::listarComEventosNoPeriodo(conexao.get(), hora(9), hora(17)));
    QCOMPARE(ids(treinos), (QList<int>{2, 1}));
    QCOMPARE(statements.list.size(), 3);

    const Treino &alface = *treinos.at(0);
    QCOMPARE(alface.getNome(), std::string("Alface"));
    QCOMPARE(alface.ativo, false);
    QCOMPARE(alface.diretorio, std::string("D:/alface"));
    QCOMPARE(alface.num_classificacoes, 3);
    QCOMPARE(int(alface.classificacoes.size()), 3);
    for (int classe = 0; classe < 3; ++classe) {
        const NumeroClassificacaoTreino &entrada = *alface.classificacoes.at(classe);
        QCOMPARE(entrada.num_classificacao, classe);
        QCOMPARE(entrada.id_treino, 2);
    }
    QCOMPARE(alface.classificacoes.at(0)->getId(), 12);
    QCOMPARE(alface.classificacoes.at(2)->num_fotos, 20);

    QCOMPARE(treinos.at(1)->getNome(), std::string("Morango"));
    QVERIFY(treinos.at(1)->classificacoes.empty());
}

void TestModel::eventBoundsAreInclusive_data()
{
    QTest::addColumn<long>("instante");
    QTest::addColumn<bool>("counted");
    QTest::newRow("at inicio") << hora(9) << true;
    QTest::newRow("inside") << hora(12) << true;
    QTest::newRow("at fim") << hora(17) << true;
    QTest::newRow("a second before inicio") << hora(9) - 1 << false;
    QTest::newRow("a second after fim") << hora(17) + 1 << false;
}

void TestModel::eventBoundsAreInclusive()
{
    QFETCH(long, instante);
    QFETCH(bool, counted);
    QVERIFY(addTreino(7, "Uva"));
    QVERIFY(addEvento(0, 7, 1, instante));
    const auto conexao = TestSupport::connect();
    QCOMPARE(int(own(Treino::listarComEventosNoPeriodo(conexao.get(), hora(9), hora(17))).size()),
             counted ? 1 : 0);
    QCOMPARE(Funcionario::contarEventos(conexao.get(), 1, hora(9), hora(17), 7), counted ? 1L : 0L);
}

void TestModel::classEntriesComeInClassOrder()
{
    QVERIFY(exec("insert into numero_classificacao_treino (id_treino,num_classificacao,num_fotos) "
                 "values(7,2,30),(8,0,99),(7,0,10),(7,1,20)"));
    const auto conexao = TestSupport::connect();
    const auto entradas = own(NumeroClassificacaoTreino::listarPorTreino(conexao.get(), 7));
    QCOMPARE(ids(entradas), (QList<int>{3, 4, 1}));
    QList<int> classes;
    QList<int> fotos;
    for (const auto &entrada : entradas) {
        classes << entrada->num_classificacao;
        fotos << entrada->num_fotos;
        QCOMPARE(entrada->id_treino, 7);
    }
    QCOMPARE(classes, (QList<int>{0, 1, 2}));
    QCOMPARE(fotos, (QList<int>{10, 20, 30}));
    QVERIFY(own(NumeroClassificacaoTreino::listarPorTreino(conexao.get(), 9)).empty());
}

void TestModel::failedClassQueryLeavesVarietyWithoutEntries()
{
    QVERIFY(addTreino(7, "Uva"));
    QVERIFY(exec("insert into numero_classificacao_treino (id_treino,num_classificacao) "
                 "values(7,0)"));
    QVERIFY(addEvento(0, 7, 0, hora(10)));
    QVERIFY(exec("revoke select on numero_classificacao_treino from quorbel"));
    const auto conexao = TestSupport::connect();
    const TestSupport::CoutCapture out;
    const auto treinos = own(Treino::listarComEventosNoPeriodo(conexao.get(), hora(9), hora(17)));
    QCOMPARE(treinos.size(), std::size_t(1));
    QVERIFY(treinos.at(0)->classificacoes.empty());
    QCOMPARE(QString::fromStdString(out.text()),
             QString("select id,num_classificacao,num_fotos from numero_classificacao_treino "
                     "where id_treino=7 order by num_classificacao asc\n"));
}

void TestModel::sessionSelection_data()
{
    QTest::addColumn<long>("inicial");
    QTest::addColumn<std::optional<long>>("final");
    QTest::addColumn<bool>("selected");
    const std::optional<long> aberta;
    // The span is 09:00 to 17:00.
    QTest::newRow("inside") << hora(10) << std::optional<long>(hora(11)) << true;
    QTest::newRow("starts inside, ends after") << hora(16) << std::optional<long>(hora(18)) << true;
    QTest::newRow("starts before, ends inside") << hora(8) << std::optional<long>(hora(10)) << true;
    QTest::newRow("ends exactly at inicio") << hora(8) << std::optional<long>(hora(9)) << true;
    QTest::newRow("starts exactly at fim") << hora(17) << std::optional<long>(hora(18)) << true;
    QTest::newRow("covers the whole span") << hora(8) << std::optional<long>(hora(18)) << false;
    QTest::newRow("ends a second before inicio")
        << hora(8) << std::optional<long>(hora(9) - 1) << false;
    QTest::newRow("starts a second after fim")
        << hora(17) + 1 << std::optional<long>(hora(18)) << false;
    QTest::newRow("all before") << hora(6) << std::optional<long>(hora(8)) << false;
    QTest::newRow("all after") << hora(18) << std::optional<long>(hora(19)) << false;
    QTest::newRow("open, starts inside") << hora(12) << aberta << true;
    QTest::newRow("open, starts before") << hora(8) << aberta << false;
}

// The same rule in the session list, the employee list, the production
// counts and the intervals.
void TestModel::sessionSelection()
{
    QFETCH(long, inicial);
    QFETCH(std::optional<long>, final);
    QFETCH(bool, selected);
    QVERIFY(addFuncionario(1, "Máquina"));
    const int idSessao = addSessao(1, 7, inicial, final);
    QVERIFY(addEvento(idSessao, 7, 0, hora(3)));

    const auto conexao = TestSupport::connect();
    const long inicio = hora(9);
    const long fim = hora(17);
    const auto sessoes = own(Sessao::listarPorPeriodo(conexao.get(), inicio, fim, 7, 1, 0));
    QCOMPARE(ids(sessoes), selected ? QList<int>{idSessao} : QList<int>{});
    QCOMPARE(ids(own(Funcionario::listarPorPeriodo(conexao.get(), inicio, fim, 7))),
             selected ? QList<int>{1} : QList<int>{});
    QCOMPARE(Funcionario::producaoPorClasse(conexao.get(), 0, inicio, fim, 1, 7, {1}),
             std::vector<int>{selected ? 1 : 0});

    const ResultPtr intervalos(
        executeQuery(conexao.get(), Sessao::consultaIntervalos(inicio, fim, 7, 1)));
    QCOMPARE(rowCount(intervalos.get()), selected ? 1 : 0);
}

void TestModel::degenerateSpans_data()
{
    QTest::addColumn<long>("inicio");
    QTest::addColumn<long>("fim");
    QTest::addColumn<QList<int>>("sessoes");
    QTest::addColumn<long>("eventos");
    QTest::newRow("inicio equal to fim: sessions starting or ending there")
        << hora(10) << hora(10) << QList<int>{2, 1} << 1L;
    QTest::newRow("inicio after fim selects nothing")
        << hora(17) << hora(9) << QList<int>{} << 0L;
}

void TestModel::degenerateSpans()
{
    QFETCH(long, inicio);
    QFETCH(long, fim);
    QFETCH(QList<int>, sessoes);
    QFETCH(long, eventos);
    QVERIFY(addFuncionario(2, "Ana"));
    QVERIFY(addTreino(7, "Uva"));
    // Starts at 10:00, ends at 10:00, and one strictly around 10:00.
    QVERIFY(addSessoes("2/7 10-12;2/7 8-10;2/7 9-11"));
    QVERIFY(addEvento(1, 7, 0, hora(10)));

    const auto conexao = TestSupport::connect();
    QCOMPARE(ids(own(Sessao::listarPorPeriodo(conexao.get(), inicio, fim, 7, 2, 0))), sessoes);
    QCOMPARE(int(own(Funcionario::listarPorPeriodo(conexao.get(), inicio, fim, 0)).size()),
             sessoes.isEmpty() ? 0 : 1);
    QCOMPARE(int(own(Treino::listarComEventosNoPeriodo(conexao.get(), inicio, fim)).size()),
             int(eventos));
    QCOMPARE(Funcionario::contarEventos(conexao.get(), 0, inicio, fim, 0), eventos);
    QCOMPARE(Sessao::tempoSomado(conexao.get(), inicio, fim, 0, 0), 0L);
    QCOMPARE(Sessao::tempoCoberto(conexao.get(), inicio, fim, 0, 0), 0L);
}

void TestModel::sessionListFiltersAndOrder()
{
    const int tarde = addSessao(1, 7, hora(12), hora(13));
    const int manha = addSessao(1, 7, hora(8), hora(10));
    QVERIFY(addSessao(2, 7, hora(10), hora(11)) > 0);
    QVERIFY(addSessao(1, 7, hora(10), hora(11), 1) > 0);
    QVERIFY(addSessao(1, 8, hora(10), hora(11)) > 0);
    const int semTreino = addSessao(1, 0, hora(14), hora(15));

    const auto conexao = TestSupport::connect();
    const auto sessoes = own(Sessao::listarPorPeriodo(conexao.get(), hora(9), hora(17), 7, 1, 0));
    QCOMPARE(ids(sessoes), (QList<int>{manha, tarde}));
    const Sessao &primeira = *sessoes.at(0);
    QCOMPARE(primeira.id_funcionario, 1);
    // Listed as stored: clipping is the time accounting's business.
    QCOMPARE(primeira.instante_inicial, hora(8));
    QCOMPARE(primeira.instante_final, hora(10));
    QCOMPARE(primeira.sensor, 0);
    QCOMPARE(primeira.id_treino, 7);

    QCOMPARE(ids(own(Sessao::listarPorPeriodo(conexao.get(), hora(9), hora(17), 0, 1, 0))),
             QList<int>{semTreino});
    QCOMPARE(ids(own(Sessao::listarPorPeriodo(conexao.get(), hora(9), hora(17), 7, 1, 1))).size(),
             1);
}

void TestModel::openSessionInListEndsAtSpanEnd()
{
    const int aberta = addSessao(1, 7, hora(10), std::nullopt);
    const auto conexao = TestSupport::connect();
    const TestSupport::CoutCapture out;
    const auto sessoes = own(Sessao::listarPorPeriodo(conexao.get(), hora(9), hora(17), 7, 1, 0));
    QCOMPARE(ids(sessoes), QList<int>{aberta});
    QCOMPARE(sessoes.at(0)->instante_inicial, hora(10));
    QCOMPARE(sessoes.at(0)->instante_final, hora(17));
    QCOMPARE(out.text(), std::string());
}

void TestModel::timeAccounting_data()
{
    QTest::addColumn<QString>("sessoes");
    QTest::addColumn<long>("inicio");
    QTest::addColumn<long>("fim");
    QTest::addColumn<int>("idTreino");
    QTest::addColumn<int>("idFuncionario");
    QTest::addColumn<long>("somado");
    QTest::addColumn<long>("coberto");

    QTest::newRow("no session") << "" << kDia << kFimDoDia << 0 << 0 << 0L << 0L;
    QTest::newRow("08-10 in a span from 09 to 12")
        << "2/7 8-10" << hora(9) << hora(12) << 0 << 0 << 3600L << 3600L;
    QTest::newRow("08-10 and 09-11 of two employees")
        << "2/7 8-10;3/7 9-11" << kDia << kFimDoDia << 0 << 0 << 14400L << 10800L;
    QTest::newRow("09-10 inside 08-12")
        << "2/7 8-12;3/7 9-10" << kDia << kFimDoDia << 0 << 0 << 18000L << 14400L;
    QTest::newRow("touching 08-09 and 09-10")
        << "2/7 8-9;3/7 9-10" << kDia << kFimDoDia << 0 << 0 << 7200L << 7200L;
    QTest::newRow("span inside one session")
        << "2/7 8-12" << hora(9) << hora(10) << 0 << 0 << 0L << 0L;
    QTest::newRow("cut at both bounds")
        << "2/7 8-10;3/7 16-18" << hora(9) << hora(17) << 0 << 0 << 7200L << 7200L;
    QTest::newRow("same employee, overlapping sessions")
        << "2/7 8-10;2/7 9-11" << kDia << kFimDoDia << 0 << 2 << 14400L << 10800L;
    QTest::newRow("employee 1 counts the machine only")
        << "1/7 8-10;2/7 9-10" << kDia << kFimDoDia << 0 << 1 << 7200L << 7200L;
    QTest::newRow("employee 0 counts everyone but the machine")
        << "1/7 8-10;2/7 9-10;3/7 12-13" << kDia << kFimDoDia << 0 << 0 << 7200L << 7200L;
    QTest::newRow("negative employee counts everyone but the machine")
        << "1/7 8-10;2/7 9-10;3/7 12-13" << kDia << kFimDoDia << 0 << -4 << 7200L << 7200L;
    QTest::newRow("one employee")
        << "1/7 8-10;2/7 9-10;3/7 12-13" << kDia << kFimDoDia << 0 << 3 << 3600L << 3600L;
    QTest::newRow("variety 0 is every variety")
        << "2/7 8-10;2/8 10-11" << kDia << kFimDoDia << 0 << 0 << 10800L << 10800L;
    QTest::newRow("one variety")
        << "2/7 8-10;2/8 10-11" << kDia << kFimDoDia << 8 << 0 << 3600L << 3600L;
    QTest::newRow("inicio after fim") << "2/7 8-10" << hora(10) << hora(8) << 0 << 0 << 0L << 0L;
    QTest::newRow("open session counts to the end of a past span")
        << "2/7 8-?" << kDia << kFimDoDia << 0 << 0 << kFimDoDia - hora(8)
        << kFimDoDia - hora(8);
    QTest::newRow("open session around a closed one")
        << "2/7 8-?;3/7 9-10" << kDia << kFimDoDia << 0 << 0 << kFimDoDia - hora(8) + 3600
        << kFimDoDia - hora(8);
    QTest::newRow("open session starting at fim counts nothing")
        << "2/7 17-?" << hora(9) << hora(17) << 0 << 0 << 0L << 0L;
    QTest::newRow("an end before its start counts nothing")
        << "2/7 10-8" << hora(9) << hora(17) << 0 << 0 << 0L << 0L;
    QTest::newRow("an end before its start leaves the others whole")
        << "2/7 10-8;3/7 9-11;3/7 10.5-12" << hora(9) << hora(17) << 0 << 0 << 12600L << 10800L;
}

void TestModel::timeAccounting()
{
    QFETCH(QString, sessoes);
    QFETCH(long, inicio);
    QFETCH(long, fim);
    QFETCH(int, idTreino);
    QFETCH(int, idFuncionario);
    QFETCH(long, somado);
    QFETCH(long, coberto);
    QVERIFY(addSessoes(sessoes));
    const auto conexao = TestSupport::connect();
    const TestSupport::CoutCapture out;
    QCOMPARE(Sessao::tempoSomado(conexao.get(), inicio, fim, idTreino, idFuncionario), somado);
    QCOMPARE(Sessao::tempoCoberto(conexao.get(), inicio, fim, idTreino, idFuncionario), coberto);
    QCOMPARE(out.text(), std::string());
    QCOMPARE(conexao->failedStatements(), 0);
}

// A span reaching past now: an open session counts up to now. The clock is
// read around the calls, so the check holds however long they take.
void TestModel::openSessionCountsUpToNow()
{
    const long agora = std::time(nullptr);
    const long inicial = agora - 3600;
    QVERIFY(addSessao(2, 7, inicial, std::nullopt) > 0);
    QVERIFY(addSessao(1, 7, inicial, std::nullopt) > 0);
    const auto conexao = TestSupport::connect();
    const long inicio = agora - 7200;
    const long fim = agora + 86400;

    const long antes = std::time(nullptr);
    const long somado = Sessao::tempoSomado(conexao.get(), inicio, fim, 0, 0);
    const long coberto = Sessao::tempoCoberto(conexao.get(), inicio, fim, 0, 2);
    const auto sessoes = own(Sessao::listarPorPeriodo(conexao.get(), inicio, fim, 7, 1, 0));
    const long depois = std::time(nullptr);

    QVERIFY2(somado >= antes - inicial && somado <= depois - inicial, qPrintable(n(somado)));
    QVERIFY2(coberto >= antes - inicial && coberto <= depois - inicial, qPrintable(n(coberto)));
    QCOMPARE(sessoes.size(), std::size_t(1));
    QVERIFY(sessoes.at(0)->instante_final >= antes && sessoes.at(0)->instante_final <= depois);
}

void TestModel::employeesListedOnceByName_data()
{
    QTest::addColumn<int>("idTreino");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("all varieties") << 0 << QList<int>{3, 1, 2};
    QTest::newRow("variety 7") << 7 << QList<int>{1, 2};
    QTest::newRow("variety 8") << 8 << QList<int>{3, 2};
    QTest::newRow("variety without sessions") << 9 << QList<int>{};
}

void TestModel::employeesListedOnceByName()
{
    QFETCH(int, idTreino);
    QFETCH(QList<int>, expected);
    QVERIFY(addFuncionario(1, "Máquina", "maq"));
    QVERIFY(addFuncionario(2, "Zeca", "Zé"));
    QVERIFY(addFuncionario(3, "Ana", "Aninha", false));
    QVERIFY(addFuncionario(4, "Bruno"));
    QVERIFY(addFuncionario(5, "Carla"));
    // The span is 09:00 to 17:00. Bruno's only session covers all of it;
    // Carla's lies after it.
    QVERIFY(addSessoes("1/7 9-17;2/7 10-11;2/8 12-13;2/7 14-15;3/8 8-10;4/7 8-18;5/7 18-19"));

    const auto conexao = TestSupport::connect();
    const auto funcionarios
        = own(Funcionario::listarPorPeriodo(conexao.get(), hora(9), hora(17), idTreino));
    QCOMPARE(ids(funcionarios), expected);
    for (const auto &funcionario : funcionarios) {
        if (funcionario->getId() == 3) {
            QCOMPARE(funcionario->nome, std::string("Ana"));
            QCOMPARE(funcionario->apelido, std::string("Aninha"));
            QCOMPARE(funcionario->ativo, false);
        } else if (funcionario->getId() == 2) {
            QCOMPARE(funcionario->apelido, std::string("Zé"));
            QCOMPARE(funcionario->ativo, true);
        }
    }
}

// The report pairs the employee list and the production counts by position.
void TestModel::equalNamesKeepTheirOwnCounts()
{
    QVERIFY(addFuncionario(5, "Maria", "Maria B"));
    QVERIFY(addFuncionario(4, "Maria", "Maria A"));
    QVERIFY(addFuncionario(6, "Ana"));
    QVERIFY(addFuncionario(3, "Maria", "Maria C"));
    const int deMaria5 = addSessao(5, 7, hora(10), hora(11));
    const int deMaria4 = addSessao(4, 7, hora(10), hora(11));
    const int deAna = addSessao(6, 7, hora(10), hora(11));
    const int deMaria3 = addSessao(3, 7, hora(10), hora(11));
    for (int i = 0; i < 3; ++i)
        QVERIFY(addEvento(deMaria4, 7, 0, hora(10)));
    QVERIFY(addEvento(deMaria5, 7, 0, hora(10)));
    QVERIFY(addEvento(deAna, 7, 0, hora(10)));
    QVERIFY(addEvento(deAna, 7, 0, hora(10)));
    for (int i = 0; i < 5; ++i)
        QVERIFY(addEvento(deMaria3, 7, 0, hora(10)));

    const auto conexao = TestSupport::connect();
    const auto funcionarios
        = own(Funcionario::listarPorPeriodo(conexao.get(), hora(9), hora(17), 7));
    QCOMPARE(ids(funcionarios), (QList<int>{6, 3, 4, 5}));
    // The ids arrive in any order; the counts come in the list's order.
    const std::vector<int> contagens
        = Funcionario::producaoPorClasse(conexao.get(), 0, hora(9), hora(17), 4, 7, {5, 3, 6, 4});
    QCOMPARE(joined(contagens), QString("2,5,3,1"));
}

void TestModel::eventCounts_data()
{
    QTest::addColumn<int>("classificacao");
    QTest::addColumn<int>("idTreino");
    QTest::addColumn<long>("inicio");
    QTest::addColumn<long>("fim");
    QTest::addColumn<long>("expected");
    QTest::newRow("class 0, all varieties") << 0 << 0 << hora(9) << hora(17) << 4L;
    QTest::newRow("class 0, variety 7") << 0 << 7 << hora(9) << hora(17) << 3L;
    QTest::newRow("class 0, variety 8") << 0 << 8 << hora(9) << hora(17) << 1L;
    QTest::newRow("class 1") << 1 << 0 << hora(9) << hora(17) << 1L;
    QTest::newRow("class without events") << 2 << 0 << hora(9) << hora(17) << 0L;
    QTest::newRow("inicio after fim") << 0 << 0 << hora(17) << hora(9) << 0L;
    QTest::newRow("inicio equal to fim") << 0 << 0 << hora(9) << hora(9) << 1L;
}

void TestModel::eventCounts()
{
    QFETCH(int, classificacao);
    QFETCH(int, idTreino);
    QFETCH(long, inicio);
    QFETCH(long, fim);
    QFETCH(long, expected);
    // Events count by their own instant; their sessions play no part, even
    // a session that covers the whole span.
    const int cobre = addSessao(2, 7, hora(8), hora(18));
    QVERIFY(addEvento(cobre, 7, 0, hora(9)));
    QVERIFY(addEvento(cobre, 7, 0, hora(17)));
    QVERIFY(addEvento(0, 7, 0, hora(12)));
    QVERIFY(addEvento(0, 8, 0, hora(12)));
    QVERIFY(addEvento(0, 7, 0, hora(9) - 1));
    QVERIFY(addEvento(0, 7, 0, hora(17) + 1));
    QVERIFY(addEvento(0, 7, 1, hora(12)));
    const auto conexao = TestSupport::connect();
    QCOMPARE(Funcionario::contarEventos(conexao.get(), classificacao, inicio, fim, idTreino),
             expected);
}

void TestModel::productionPerClass_data()
{
    QTest::addColumn<int>("classificacao");
    QTest::addColumn<int>("idTreino");
    QTest::addColumn<QString>("expected");
    QTest::newRow("class 0, all varieties") << 0 << 0 << "3,0,0";
    QTest::newRow("class 0, variety 7") << 0 << 7 << "2,0,0";
    QTest::newRow("class 1") << 1 << 0 << "1,2,0";
    QTest::newRow("class without events") << 4 << 0 << "0,0,0";
}

void TestModel::productionPerClass()
{
    QFETCH(int, classificacao);
    QFETCH(int, idTreino);
    QFETCH(QString, expected);
    QVERIFY(addFuncionario(2, "Ana"));
    QVERIFY(addFuncionario(3, "Bia"));
    QVERIFY(addFuncionario(4, "Caio"));
    // The span is 09:00 to 17:00.
    const int daAna = addSessao(2, 7, hora(8), hora(10));
    const int daAnaDepois = addSessao(2, 7, hora(18), hora(19));
    const int daBia = addSessao(3, 7, hora(10), hora(11));
    const int doCaio = addSessao(4, 7, hora(8), hora(18));
    // An event of an overlapping session counts even outside the span.
    QVERIFY(addEvento(daAna, 7, 0, hora(8.5)));
    QVERIFY(addEvento(daAna, 7, 0, hora(9.5)));
    QVERIFY(addEvento(daAna, 8, 0, hora(9.6)));
    QVERIFY(addEvento(daAna, 7, 1, hora(9.7)));
    QVERIFY(addEvento(daAnaDepois, 7, 0, hora(18.5)));
    QVERIFY(addEvento(daBia, 7, 1, hora(10.5)));
    QVERIFY(addEvento(daBia, 7, 1, hora(10.6)));
    QVERIFY(addEvento(doCaio, 7, 0, hora(12)));
    QVERIFY(addEvento(doCaio, 7, 1, hora(12)));

    const auto conexao = TestSupport::connect();
    const std::vector<int> contagens = Funcionario::producaoPorClasse(
        conexao.get(), classificacao, hora(9), hora(17), 3, idTreino, {2, 3, 4});
    QCOMPARE(joined(contagens), expected);
}

void TestModel::productionReadsExactlyQuantidadeRows_data()
{
    QTest::addColumn<int>("quantidade");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("printed");
    QTest::newRow("none") << 0 << "" << "";
    QTest::newRow("fewer than the rows") << 1 << "2" << "";
    QTest::newRow("as many as the rows") << 2 << "2,0" << "";
    QTest::newRow("more than the rows")
        << 4 << "2,0,-1,-1"
        << kMissing + " (row: 2, col:0)\n" + kMissing + " (row: 3, col:0)\n";
}

void TestModel::productionReadsExactlyQuantidadeRows()
{
    QFETCH(int, quantidade);
    QFETCH(QString, expected);
    QFETCH(QString, printed);
    QVERIFY(addFuncionario(2, "Ana"));
    QVERIFY(addFuncionario(3, "Bia"));
    const int daAna = addSessao(2, 7, hora(10), hora(11));
    QVERIFY(addSessao(3, 7, hora(10), hora(11)) > 0);
    QVERIFY(addEvento(daAna, 7, 0, hora(10)));
    QVERIFY(addEvento(daAna, 7, 0, hora(10)));
    const auto conexao = TestSupport::connect();
    const TestSupport::CoutCapture out;
    const std::vector<int> contagens = Funcionario::producaoPorClasse(
        conexao.get(), 0, hora(9), hora(17), quantidade, 7, {2, 3});
    QCOMPARE(joined(contagens), expected);
    QCOMPARE(QString::fromStdString(out.text()), printed);
}

void TestModel::failedStatementGivesDefaults_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<Probe>("probe");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("printedAfterSql");

    const auto count = [](auto lista) { return QString("%1 objects").arg(own(lista).size()); };
    const QList<std::tuple<QString, Probe, QString, QString>> rows{
        {"varieties",
         [count](DatabaseConnection *c) {
             return count(Treino::listarComEventosNoPeriodo(c, hora(9), hora(17)));
         },
         "0 objects", ""},
        {"class entries",
         [count](DatabaseConnection *c) {
             return count(NumeroClassificacaoTreino::listarPorTreino(c, 7));
         },
         "0 objects", ""},
        {"sessions",
         [count](DatabaseConnection *c) {
             return count(Sessao::listarPorPeriodo(c, hora(9), hora(17), 7, 1, 0));
         },
         "0 objects", ""},
        {"summed time",
         [](DatabaseConnection *c) { return n(Sessao::tempoSomado(c, hora(9), hora(17), 0, 0)); },
         "0", ""},
        {"covered time",
         [](DatabaseConnection *c) { return n(Sessao::tempoCoberto(c, hora(9), hora(17), 0, 1)); },
         "0", ""},
        {"employees",
         [count](DatabaseConnection *c) {
             return count(Funcionario::listarPorPeriodo(c, hora(9), hora(17), 0));
         },
         "0 objects", ""},
        {"event count",
         [](DatabaseConnection *c) {
             return n(Funcionario::contarEventos(c, 0, hora(9), hora(17), 0));
         },
         "-1", kMissing + "long:0,0\n"},
        {"production",
         [](DatabaseConnection *c) {
             return joined(Funcionario::producaoPorClasse(c, 0, hora(9), hora(17), 2, 0, {2, 3}));
         },
         "-1,-1", kMissing + " (row: 0, col:0)\n" + kMissing + " (row: 1, col:0)\n"},
    };
    for (const QString how : {"closed connection", "no privileges"}) {
        for (const auto &[name, probe, expected, printed] : rows) {
            QTest::newRow(qPrintable(name + ", " + how)) << how << probe << expected << printed;
        }
    }
}

// Data that would give other answers is in place, so only the failure
// explains the defaults.
void TestModel::failedStatementGivesDefaults()
{
    QFETCH(QString, how);
    QFETCH(Probe, probe);
    QFETCH(QString, expected);
    QFETCH(QString, printedAfterSql);
    QVERIFY(addFuncionario(2, "Ana"));
    QVERIFY(addFuncionario(3, "Bia"));
    QVERIFY(addTreino(7, "Uva"));
    QVERIFY(exec("insert into numero_classificacao_treino (id_treino,num_classificacao) "
                 "values(7,0)"));
    const int sessao = addSessao(2, 7, hora(10), hora(11));
    QVERIFY(addSessao(1, 7, hora(10), hora(11)) > 0);
    QVERIFY(addEvento(sessao, 7, 0, hora(10)));

    const auto conexao = TestSupport::connect();
    if (how == "closed connection")
        conexao->close();
    else
        QVERIFY(exec("revoke all on treino, numero_classificacao_treino, funcionario, sessao, "
                     "evento_muda from quorbel"));
    const Statements statements(conexao.get());
    const TestSupport::CoutCapture out;
    QCOMPARE(probe(conexao.get()), expected);
    QCOMPARE(statements.list.size(), 1);
    QCOMPARE(QString::fromStdString(out.text()), statements.list.at(0) + "\n" + printedAfterSql);
}

void TestModel::treinoRowRoundTrip()
{
    const auto conexao = TestSupport::connect();
    Treino treino(conexao.get(), -1, "Uva", true, "C:/x", 2);
    QCOMPARE(treino.getId(), -1);
    const Statements statements(conexao.get());
    QVERIFY(treino.save());
    QCOMPARE(treino.getId(), 1);
    treino.nome = "Uva Itália";
    treino.ativo = false;
    treino.num_classificacoes = 5;
    QVERIFY(treino.save());

    Treino lido(conexao.get(), 1, "", true, "", 0);
    const ResultPtr row = selectRow(conexao.get(), treino);
    lido.loadFromRow(row.get());
    QCOMPARE(lido.getNome(), std::string("Uva Itália"));
    QCOMPARE(lido.ativo, false);
    QCOMPARE(lido.diretorio, std::string("C:/x"));
    QCOMPARE(lido.num_classificacoes, 5);
    QCOMPARE(lido.getId(), 1);

    QVERIFY(treino.remove());
    QCOMPARE(treino.getId(), 1);
    QCOMPARE(TestSupport::scalar("select count(*) from treino"), std::string("0"));
    QCOMPARE(statements.list,
             (QStringList{"insert into treino (nome,ativo,diretorio,num_classificacoes) "
                          "values('Uva',true,'C:/x',2) returning id",
                          "update treino set nome='Uva Itália',ativo=false,diretorio='C:/x',"
                          "num_classificacoes=5 where id=1",
                          "select id,num_classificacao,num_fotos from numero_classificacao_treino "
                          "where id_treino=1 order by num_classificacao asc",
                          "select nome,ativo,diretorio,num_classificacoes from treino where id=1",
                          "delete from treino where id=1"}));
}

void TestModel::classEntryRowRoundTrip()
{
    const auto conexao = TestSupport::connect();
    const Statements statements(conexao.get());
    NumeroClassificacaoTreino entrada(conexao.get(), -1, 7, 0, 12);
    QVERIFY(entrada.save());
    QCOMPARE(entrada.getId(), 1);
    entrada.num_fotos = 13;
    QVERIFY(entrada.save());

    NumeroClassificacaoTreino lida(conexao.get(), 1, -1, -1, -1);
    const ResultPtr row = selectRow(conexao.get(), entrada);
    lida.loadFromRow(row.get());
    QCOMPARE(lida.id_treino, 7);
    QCOMPARE(lida.num_classificacao, 0);
    QCOMPARE(lida.num_fotos, 13);

    QVERIFY(entrada.remove());
    QCOMPARE(TestSupport::scalar("select count(*) from numero_classificacao_treino"),
             std::string("0"));
    QCOMPARE(statements.list,
             (QStringList{"insert into numero_classificacao_treino (id_treino,num_classificacao,"
                          "num_fotos) values(7,0,12) returning id",
                          "update numero_classificacao_treino set id_treino=7,num_classificacao=0,"
                          "num_fotos=13 where id=1",
                          "select id_treino,num_classificacao,num_fotos from "
                          "numero_classificacao_treino where id=1",
                          "delete from numero_classificacao_treino where id=1"}));
}

void TestModel::sessaoRowRoundTrip()
{
    const auto conexao = TestSupport::connect();
    const Statements statements(conexao.get());
    Sessao sessao(conexao.get(), -1, 3, hora(8), hora(10), 0, 7);
    QVERIFY(sessao.save());
    QCOMPARE(sessao.getId(), 1);
    sessao.instante_final = hora(11);
    sessao.sensor = 2;
    QVERIFY(sessao.save());

    Sessao lida(conexao.get(), 1, -1, -1, -1, -1, -1);
    const ResultPtr row = selectRow(conexao.get(), sessao);
    lida.loadFromRow(row.get());
    QCOMPARE(lida.id_funcionario, 3);
    QCOMPARE(lida.instante_inicial, hora(8));
    QCOMPARE(lida.instante_final, hora(11));
    QCOMPARE(lida.sensor, 2);
    QCOMPARE(lida.id_treino, 7);

    QVERIFY(sessao.remove());
    QCOMPARE(TestSupport::scalar("select count(*) from sessao"), std::string("0"));
    QCOMPARE(statements.list,
             (QStringList{"insert into sessao (id_funcionario,instante_inicial,instante_final,"
                          "sensor,id_treino) values(3,1433145600,1433152800,0,7) returning id",
                          "update sessao set id_funcionario=3,instante_inicial=1433145600,"
                          "instante_final=1433156400,sensor=2,id_treino=7 where id=1",
                          "select id_funcionario,instante_inicial,instante_final,sensor,id_treino "
                          "from sessao where id=1",
                          "delete from sessao where id=1"}));
}

void TestModel::funcionarioRowRoundTrip()
{
    const auto conexao = TestSupport::connect();
    const Statements statements(conexao.get());
    Funcionario funcionario(conexao.get(), -1, "José", true, "Zé");
    QVERIFY(funcionario.save());
    QCOMPARE(funcionario.getId(), 1);
    funcionario.ativo = false;
    QVERIFY(funcionario.save());

    Funcionario lido(conexao.get(), 1, "", true, "");
    const ResultPtr row = selectRow(conexao.get(), funcionario);
    lido.loadFromRow(row.get());
    QCOMPARE(lido.nome, std::string("José"));
    QCOMPARE(lido.apelido, std::string("Zé"));
    QCOMPARE(lido.ativo, false);

    QVERIFY(funcionario.remove());
    QCOMPARE(TestSupport::scalar("select count(*) from funcionario"), std::string("0"));
    QCOMPARE(statements.list,
             (QStringList{"insert into funcionario (nome,apelido,ativo) values('José','Zé',true) "
                          "returning id",
                          "update funcionario set nome='José',apelido='Zé',ativo=false "
                          "where id=1",
                          "select nome,apelido,ativo from funcionario where id=1",
                          "delete from funcionario where id=1"}));
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
