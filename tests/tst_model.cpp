// The data model against the test server: the statements it sends, which
// sessions, employees and varieties it selects, the two time computations,
// production counts, failures and each entity's row.

#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "model/funcionario.h"
#include "model/numeroclassificacaotreino.h"
#include "model/sessao.h"
#include "model/treino.h"
#include "tests/testsupport.h"

#include <QRegularExpression>
#include <QTest>

#include <ctime>
#include <functional>
#include <memory>

namespace {

using C = DatabaseConnection *;
using Call = std::function<void(C)>;

// 2015-06-01 00:00 UTC, a day safely in the past; hora(9.5) is 09:30 on it.
constexpr long kDia = 1433116800;
long hora(double h)
{
    return kDia + static_cast<long>(h * 3600);
}

// Sessions from one line: "2/7 8-10.5 3" is a session of employee 2 and variety 7 from 08:00
// to 10:30 ("?" as end: still open) with 3 events of class 0 at its start. Ids follow the order.
bool sessoes(const QString &descricao)
{
    for (const QString &item : descricao.split(';')) {
        const QStringList p = item.trimmed().split(QRegularExpression("[ /-]"));
        const QString inicio = QString::number(hora(p.at(2).toDouble()));
        const QString fim = p.at(3) == "?" ? "null" : QString::number(hora(p.at(3).toDouble()));
        const QString sql = "with s as (insert into sessao (id_funcionario,id_treino,"
                            "instante_inicial,instante_final) values(%1,%2,%3,%4) returning *) "
                            "insert into evento_muda (id_sessao,id_treino,classificacao,instante) "
                            "select id,id_treino,0,instante_inicial from s,generate_series(1,%5)";
        const QString values = sql.arg(p.at(0), p.at(1), inicio, fim, p.value(4, "0"));
        if (!TestSupport::exec(values.toStdString()))
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

// The ids of a list the model returns, which is then deleted.
template <typename T>
QList<int> ids(const std::vector<T *> &lista)
{
    QList<int> result;
    for (const auto &item : own(lista))
        result << item->getId();
    return result;
}

QList<int> lista(const std::vector<int> &valores)
{
    return QList<int>(valores.begin(), valores.end());
}

// Saves a new entity and reads its row back into `lido`: both then hold the same values.
template <typename E>
void gravarELer(C c, E &&novo, E &&lido)
{
    QVERIFY(novo.save());
    c->setStatementObserver(nullptr);
    std::string colunas;
    for (const std::string &coluna : novo.columnNames())
        colunas += (colunas.empty() ? "" : ",") + coluna;
    const ResultPtr row(executeQuery(c, "select " + colunas + " from " + novo.tableName()
                                            + " where id=" + std::to_string(novo.getId())));
    lido.loadFromRow(row.get());
    QVERIFY(lido.columnValues() == novo.columnValues());
}

} // namespace

Q_DECLARE_METATYPE(Call)

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        REQUIRE_DATABASE();
        QVERIFY(TestSupport::resetTables());
    }

    void statements_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("sql");
        QTest::newRow("varieties")
            << Call([](C c) { ids(Treino::listarComEventosNoPeriodo(c, 1, 2)); })
            << "select v.id,v.nome,v.ativo,v.diretorio,v.num_classificacoes from treino v where "
               "v.id in (select m.id_treino from evento_muda m where m.instante >= 1 and "
               "m.instante <= 2) group by v.id order by v.nome asc";
        QTest::newRow("class entries")
            << Call([](C c) { ids(NumeroClassificacaoTreino::listarPorTreino(c, 7)); })
            << "select id,num_classificacao,num_fotos from numero_classificacao_treino where "
               "id_treino=7 order by num_classificacao asc";
        QTest::newRow("sessions")
            << Call([](C c) { ids(Sessao::listarPorPeriodo(c, 1, 2, 7, 1, 0)); })
            << "select distinct s.id,s.id_funcionario,s.instante_inicial,s.instante_final,"
               "s.sensor,s.id_treino from sessao s where s.id_funcionario=1 and s.sensor=0 and "
               "s.id_treino=7 and (s.instante_inicial between 1 and 2 or s.instante_final "
               "between 1 and 2) order by s.instante_inicial ASC";
        QTest::newRow("intervals of one employee and variety: two blanks")
            << Call([](C c) { Sessao::tempoCoberto(c, 1, 2, 7, 5); })
            << "select s.instante_inicial,s.instante_final from sessao s where s.id_funcionario=5 "
               "and  s.id_treino=7 and (s.instante_inicial between 1 and 2 or s.instante_final "
               "between 1 and 2) group by s.id order by s.instante_inicial";
        QTest::newRow("employees: id tie-break")
            << Call([](C c) { ids(Funcionario::listarPorPeriodo(c, 1, 2, 7)); })
            << "select distinct f.id,f.nome,f.ativo,f.apelido from funcionario f, sessao s where "
               "f.id=s.id_funcionario and s.id_treino=7 and (s.instante_inicial between 1 and 2 "
               "or s.instante_final between 1 and 2) order by f.nome,f.id";
        QTest::newRow("event count")
            << Call([](C c) { Funcionario::contarEventos(c, 2, 1, 2, 7); })
            << "select count(*) from evento_muda where classificacao=2 and id_treino=7 and "
               "instante between 1 and 2";
        QTest::newRow("production with ids: two blanks, id tie-break")
            << Call([](C c) {
                   Funcionario::producaoPorClasse(c, 2, 1, 2, 0, 7, {4, 9});
               })
            << "select coalesce(total,0) from funcionario f1 left join (select f.id as id,"
               "count(distinct e.id) as total from funcionario f, sessao s left join evento_muda "
               "e on s.id=e.id_sessao and e.classificacao=2 and e.id_treino=7 where "
               "f.id=s.id_funcionario and (s.instante_inicial between 1 and 2 or "
               "s.instante_final between 1 and 2) and e.id_sessao=s.id group by f.id) eventos "
               "on f1.id = eventos.id where f1.id in (4,9)  order by f1.nome asc,f1.id asc";
        QTest::newRow("variety row")
            << Call([](C c) {
                   gravarELer(c, Treino(c, -1, "Uva", true, "C:/x", 2),
                              Treino(c, -1, "", false, "", 0));
               })
            << "insert into treino (nome,ativo,diretorio,num_classificacoes) "
               "values('Uva',true,'C:/x',2) returning id";
        QTest::newRow("class entry row")
            << Call([](C c) {
                   gravarELer(c, NumeroClassificacaoTreino(c, -1, 7, 1, 12),
                              NumeroClassificacaoTreino(c, -1, 0, 0, 0));
               })
            << "insert into numero_classificacao_treino (id_treino,num_classificacao,num_fotos) "
               "values(7,1,12) returning id";
        QTest::newRow("session row")
            << Call([](C c) {
                   gravarELer(c, Sessao(c, -1, 3, 100, 200, 1, 7), Sessao(c, -1, 0, 0, 0, 0, 0));
               })
            << "insert into sessao (id_funcionario,instante_inicial,instante_final,sensor,"
               "id_treino) values(3,100,200,1,7) returning id";
        QTest::newRow("employee row") << Call([](C c) {
            gravarELer(c, Funcionario(c, -1, "Zé", true, "Z"), Funcionario(c, -1, "", false, ""));
        }) << "insert into funcionario (nome,apelido,ativo) values('Zé','Z',true) returning id";
        QTest::newRow("save with an id updates")
            << Call([](C c) { Funcionario(c, 4, "Zé", false, "Z").save(); })
            << "update funcionario set nome='Zé',apelido='Z',ativo=false where id=4";
    }
    // Each text is compared whole, and each runs on the schema.
    void statements()
    {
        QFETCH(Call, call);
        QFETCH(QString, sql);
        const auto conexao = TestSupport::connect();
        QStringList sent;
        conexao->setStatementObserver([&](const std::string &s) { sent << s.c_str(); });
        call(conexao.get());
        QCOMPARE(sent.value(sent.size() - 1), sql);
        QCOMPARE(conexao->failedStatements(), 0);
    }

    // One session of the machine (employee 1) with an event at each end; the
    // session list shows an open session ending at fim.
    void selectionRule_data()
    {
        QTest::addColumn<QString>("sessao");
        QTest::addColumn<QString>("periodo");
        QTest::addColumn<QString>("listada");
        QTest::addColumn<int>("eventos");
        QTest::newRow("inside") << "10-11"
                                << "9-17"
                                << "10-11" << 2;
        QTest::newRow("ends at inicio") << "8-9"
                                        << "9-17"
                                        << "8-9" << 1;
        QTest::newRow("starts at fim") << "17-18"
                                       << "9-17"
                                       << "17-18" << 1;
        QTest::newRow("covers the span: not selected") << "8-18"
                                                       << "9-17"
                                                       << "" << 0;
        QTest::newRow("before the span") << "7-8.5"
                                         << "9-17"
                                         << "" << 0;
        QTest::newRow("inicio after fim") << "10-11"
                                          << "17-9"
                                          << "" << 0;
        QTest::newRow("open, starts inside") << "12-?"
                                             << "9-17"
                                             << "12-17" << 1;
    }
    void selectionRule()
    {
        QFETCH(QString, sessao);
        QFETCH(QString, periodo);
        QFETCH(QString, listada);
        QFETCH(int, eventos);
        QVERIFY(sessoes("1/7 " + sessao + " 1"));
        QVERIFY(TestSupport::exec("insert into funcionario (id,nome) values(1,'M'); insert into "
                                  "treino (id,nome) values(7,'Uva'); insert into evento_muda "
                                  "(id_sessao,id_treino,classificacao,instante) select id,7,0,"
                                  "instante_final from sessao"));
        const auto c = TestSupport::connect();
        const long i = hora(periodo.section('-', 0, 0).toDouble());
        const long f = hora(periodo.section('-', 1).toDouble());
        QStringList listadas;
        for (const auto &s : own(Sessao::listarPorPeriodo(c.get(), i, f, 7, 1, 0)))
            listadas << QString::number((s->instante_inicial - kDia) / 3600.0) + "-"
                            + QString::number((s->instante_final - kDia) / 3600.0);
        QCOMPARE(listadas.join(';'), listada);
        const int n = listada.isEmpty() ? 0 : 1;
        QCOMPARE(ids(Funcionario::listarPorPeriodo(c.get(), i, f, 7)).size(), n);
        QCOMPARE(lista(Funcionario::producaoPorClasse(c.get(), 0, i, f, 1, 7, {1})), {2 * n});
        const ResultPtr intervalos(executeQuery(c.get(), Sessao::consultaIntervalos(i, f, 7, 1)));
        QCOMPARE(rowCount(intervalos.get()), n);
        QCOMPARE(Funcionario::contarEventos(c.get(), 0, i, f, 7), long(eventos));
        QCOMPARE(ids(Treino::listarComEventosNoPeriodo(c.get(), i, f)).size(), eventos ? 1 : 0);
    }

    void timeAccounting_data()
    {
        QTest::addColumn<QString>("sessoes");
        QTest::addColumn<QString>("periodo");
        QTest::addColumn<long>("somado");
        QTest::addColumn<long>("coberto");
        QTest::newRow("08-10, span 09-12") << "2/7 8-10"
                                           << "9-12" << 3600L << 3600L;
        QTest::newRow("08-10, 09-11") << "2/7 8-10;3/7 9-11"
                                      << "0-24" << 14400L << 10800L;
        QTest::newRow("09-10 inside 08-12") << "2/7 8-12;3/7 9-10"
                                            << "0-24" << 18000L << 14400L;
        QTest::newRow("touching 08-09, 09-10") << "2/7 8-9;3/7 9-10"
                                               << "0-24" << 7200L << 7200L;
        QTest::newRow("span inside one session") << "2/7 8-12"
                                                 << "9-10" << 0L << 0L;
        QTest::newRow("open: up to the end of a past span") << "2/7 8-?;3/7 9-10"
                                                            << "0-24" << 61200L << 57600L;
    }
    void timeAccounting()
    {
        QFETCH(QString, sessoes);
        QFETCH(QString, periodo);
        QFETCH(long, somado);
        QFETCH(long, coberto);
        QVERIFY(::sessoes(sessoes));
        const auto c = TestSupport::connect();
        const long i = hora(periodo.section('-', 0, 0).toDouble());
        const long f = hora(periodo.section('-', 1).toDouble());
        QCOMPARE(Sessao::tempoSomado(c.get(), i, f, 0, 0), somado);
        QCOMPARE(Sessao::tempoCoberto(c.get(), i, f, 0, 0), coberto);
    }

    // Employee 1 is the machine; 0 or less stands for everyone else.
    void timeOfOneEmployeeOfOthersOfAVariety()
    {
        QVERIFY(sessoes("1/7 8-12;2/7 9-10;3/7 12-13;2/8 14-15"));
        const auto c = TestSupport::connect();
        QCOMPARE(Sessao::tempoSomado(c.get(), hora(0), hora(24), 0, 1), 14400L);
        QCOMPARE(Sessao::tempoCoberto(c.get(), hora(0), hora(24), 0, 0), 10800L);
        QCOMPARE(Sessao::tempoSomado(c.get(), hora(0), hora(24), 8, -3), 3600L);
        QCOMPARE(Sessao::tempoCoberto(c.get(), hora(0), hora(24), 7, 3), 3600L);
    }

    // A span reaching past now: an open session counts up to now.
    void openSessionCountsUpToNow()
    {
        QVERIFY(sessoes("1/7 10-?"));
        const auto c = TestSupport::connect();
        const long antes = std::time(nullptr);
        const long coberto = Sessao::tempoCoberto(c.get(), hora(9), antes + 86400, 0, 1);
        QVERIFY(coberto >= antes - hora(10) && coberto <= std::time(nullptr) - hora(10));
    }

    // Ids handed to producaoPorClasse in any order; counts come by name, then id.
    void employeesAndProduction_data()
    {
        QTest::addColumn<int>("idTreino");
        QTest::addColumn<QList<int>>("listados");
        QTest::addColumn<QList<int>>("pedidos");
        QTest::addColumn<int>("quantidade");
        QTest::addColumn<QList<int>>("contagens");
        using L = QList<int>;
        const L todos{6, 3, 4, 5};
        QTest::newRow("equal names keep their own counts")
            << 0 << todos << L{5, 3, 6, 4} << 4 << L{2, 6, 3, 1};
        QTest::newRow("variety 7") << 7 << L{3, 4, 5} << L{5, 3, 4} << 3 << L{6, 3, 1};
        QTest::newRow("no ids: everyone") << 0 << todos << L{} << 5 << L{2, 6, 3, 1, 0};
        QTest::newRow("no ids, quantidade 0") << 0 << todos << L{} << 0 << L{};
        QTest::newRow("fewer rows than quantidade") << 0 << todos << L{4} << 3 << L{3, -1, -1};
    }
    void employeesAndProduction()
    {
        QFETCH(int, idTreino);
        QFETCH(QList<int>, listados);
        QFETCH(QList<int>, pedidos);
        QFETCH(int, quantidade);
        QFETCH(QList<int>, contagens);
        // Zeca's only session covers the span 09-17: not listed, nothing counted.
        QVERIFY(sessoes("5/7 10-11 1;4/7 10-11 3;6/8 10-11 2;3/7 10-11 5;3/7 12-13 1;2/7 8-18 1"));
        QVERIFY(TestSupport::exec("insert into funcionario (id,nome) values(5,'Maria'),(4,'Maria'),"
                                  "(6,'Ana'),(3,'Maria'),(2,'Zeca'); insert into evento_muda "
                                  "(id_sessao,id_treino,classificacao) values(1,7,1)"));
        const auto c = TestSupport::connect();
        QCOMPARE(ids(Funcionario::listarPorPeriodo(c.get(), hora(9), hora(17), idTreino)),
                 listados);
        const TestSupport::CoutCapture out;
        const std::vector<int> escolhidos(pedidos.begin(), pedidos.end());
        QCOMPARE(lista(Funcionario::producaoPorClasse(c.get(), 0, hora(9), hora(17), quantidade,
                                                      idTreino, escolhidos)),
                 contagens);
    }

    void varietyLoadsItsClassesInOrder()
    {
        QVERIFY(sessoes("2/2 10-11 1"));
        QVERIFY(TestSupport::exec("insert into treino (id,nome) values(2,'Uva'); insert into "
                                  "numero_classificacao_treino (id_treino,num_classificacao,"
                                  "num_fotos) values(2,2,30),(1,0,9),(2,0,10),(2,1,20)"));
        const auto c = TestSupport::connect();
        const auto treinos = own(Treino::listarComEventosNoPeriodo(c.get(), hora(9), hora(17)));
        QCOMPARE(treinos.size(), std::size_t(1));
        QList<int> classes;
        for (const NumeroClassificacaoTreino *e : treinos.at(0)->classificacoes)
            classes << e->num_classificacao << e->num_fotos;
        QCOMPARE(classes, (QList<int>{0, 10, 1, 20, 2, 30}));
    }

    void failedStatementGivesDefaults()
    {
        const auto c = TestSupport::connect();
        c->close();
        QStringList sent;
        c->setStatementObserver([&](const std::string &s) { sent << s.c_str(); });
        const TestSupport::CoutCapture out;
        QVERIFY(ids(Treino::listarComEventosNoPeriodo(c.get(), 1, 2)).isEmpty());
        QVERIFY(ids(NumeroClassificacaoTreino::listarPorTreino(c.get(), 7)).isEmpty());
        QVERIFY(ids(Sessao::listarPorPeriodo(c.get(), 1, 2, 7, 1, 0)).isEmpty());
        QVERIFY(ids(Funcionario::listarPorPeriodo(c.get(), 1, 2, 0)).isEmpty());
        QCOMPARE(Sessao::tempoSomado(c.get(), 1, 2, 0, 0), 0L);
        QCOMPARE(Sessao::tempoCoberto(c.get(), 1, 2, 0, 0), 0L);
        QCOMPARE(Funcionario::contarEventos(c.get(), 0, 1, 2, 0), -1L);
        QCOMPARE(lista(Funcionario::producaoPorClasse(c.get(), 0, 1, 2, 1, 0, {2})), {-1});
        QCOMPARE(sent.size(), 8);
        for (const QString &sql : sent)
            QVERIFY(QString::fromStdString(out.text()).contains(sql + "\n"));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
