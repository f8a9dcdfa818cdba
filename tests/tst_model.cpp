// The data model against the test server: which sessions, employees and
// varieties it selects, the two time computations, production counts,
// failures and each entity's row. The report's statement texts are checked
// whole in tst_report.

#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "model/funcionario.h"
#include "model/numeroclassificacaotreino.h"
#include "model/posse.h"
#include "model/sessao.h"
#include "model/treino.h"
#include "tests/testsupport.h"

#include <QRegularExpression>
#include <QTest>

#include <ctime>

namespace {

// 2015-06-01 00:00 UTC, a day safely in the past; hora(9.5) is 09:30 on it.
constexpr long kDia = 1433116800;
const auto hora = [](double h) { return kDia + static_cast<long>(h * 3600); };

// Sessions from one line: "2/7 8-10.5 3" is a session of employee 2 and variety 7 from 08:00
// to 10:30 ("?" as end: still open) with 3 events of class 0 at its start. Ids follow the order.
bool sessoes(const QByteArray &descricao)
{
    for (const QString &item : QString(descricao).split(';')) {
        const QStringList p = item.trimmed().split(QRegularExpression("[ /-]"));
        const QString fim = p.at(3) == "?" ? "null" : QString::number(hora(p.at(3).toDouble()));
        const QString sql = "with s as (insert into sessao (id_funcionario,id_treino,"
                            "instante_inicial,instante_final) values(%1,%2,%3,%4) returning *) "
                            "insert into evento_muda (id_sessao,id_treino,classificacao,instante) "
                            "select id,id_treino,0,instante_inicial from s,generate_series(1,%5)";
        if (!TestSupport::exec(sql.arg(p.at(0), p.at(1), QString::number(hora(p.at(2).toDouble())),
                                       fim, p.value(4, "0"))
                                   .toStdString()))
            return false;
    }
    return true;
}

// "9-17" as the span from 09:00 to 17:00.
std::pair<long, long> periodo(const QString &texto)
{
    return {hora(texto.section('-', 0, 0).toDouble()), hora(texto.section('-', 1).toDouble())};
}

// The ids of a list the model returns, which is then deleted.
template <typename T>
std::vector<int> ids(const std::vector<T *> &lista)
{
    std::vector<int> result;
    for (const auto &item : tomarPosse(lista))
        result.push_back(item->getId());
    return result;
}

// "6,3,4,5"
QByteArray texto(const std::vector<int> &valores)
{
    QByteArrayList partes;
    for (int valor : valores)
        partes << QByteArray::number(valor);
    return partes.join(',');
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        REQUIRE_DATABASE();
        QVERIFY(TestSupport::resetTables());
    }

    void selectionRule_data() { TestSupport::tabela("selecao.tsv"); }
    void selectionRule()
    {
        const auto [sessao, periodo, listada, eventos]
            = TestSupport::celulas("sessao", "periodo", "listada", "eventos");
        QVERIFY(sessoes("1/7 " + sessao + " 1"));
        QVERIFY(TestSupport::exec("insert into funcionario (id,nome) values(1,'M'); insert into "
                                  "treino (id,nome) values(7,'Uva'); insert into evento_muda "
                                  "(id_sessao,id_treino,classificacao,instante) select id,7,0,"
                                  "instante_final from sessao"));
        const auto c = TestSupport::connect();
        const auto [inicio, fim] = ::periodo(periodo);
        QStringList listadas;
        for (const auto &s : tomarPosse(Sessao::listarPorPeriodo(c.get(), inicio, fim, 7, 1, 0)))
            listadas << QString::number((s->instante_inicial - kDia) / 3600.0) + "-"
                            + QString::number((s->instante_final - kDia) / 3600.0);
        QCOMPARE(listadas.join(';'), QString(listada));
        const int n = listada.isEmpty() ? 0 : 1;
        QCOMPARE(int(ids(Funcionario::listarPorPeriodo(c.get(), inicio, fim, 7)).size()), n);
        QCOMPARE(texto(Funcionario::producaoPorClasse(c.get(), 0, inicio, fim, 1, 7, {1})),
                 QByteArray::number(2 * n));
        const ResultPtr intervalos(
            executeQuery(c.get(), Sessao::consultaIntervalos(inicio, fim, 7, 1)));
        QCOMPARE(rowCount(intervalos.get()), n);
        QCOMPARE(Funcionario::contarEventos(c.get(), 0, inicio, fim, 7), eventos.toLong());
        QCOMPARE(int(ids(Treino::listarComEventosNoPeriodo(c.get(), inicio, fim)).size()),
                 eventos != "0" ? 1 : 0);
    }

    void timeAccounting_data() { TestSupport::tabela("tempos.tsv"); }
    void timeAccounting()
    {
        const auto [sessoes, periodo, treino, funcionario, somado, coberto] = TestSupport::celulas(
            "sessoes", "periodo", "treino", "funcionario", "somado", "coberto");
        QVERIFY(::sessoes(sessoes));
        const auto c = TestSupport::connect();
        const auto [i, f] = ::periodo(periodo);
        QCOMPARE(Sessao::tempoSomado(c.get(), i, f, treino.toInt(), funcionario.toInt()),
                 somado.toLong());
        QCOMPARE(Sessao::tempoCoberto(c.get(), i, f, treino.toInt(), funcionario.toInt()),
                 coberto.toLong());
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

    void employeesAndProduction_data() { TestSupport::tabela("producao.tsv"); }
    void employeesAndProduction()
    {
        const auto [treino, listados, pedidos, quantidade, contagens]
            = TestSupport::celulas("treino", "listados", "pedidos", "quantidade", "contagens");
        // Zeca's only session covers the span 09-17: not listed, nothing counted.
        QVERIFY(sessoes("5/7 10-11 1;4/7 10-11 3;6/8 10-11 2;3/7 10-11 5;3/7 12-13 1;2/7 8-18 1"));
        QVERIFY(TestSupport::exec("insert into funcionario (id,nome) values(5,'Maria'),(4,'Maria'),"
                                  "(6,'Ana'),(3,'Maria'),(2,'Zeca'); insert into evento_muda "
                                  "(id_sessao,id_treino,classificacao) values(1,7,1)"));
        const auto c = TestSupport::connect();
        QCOMPARE(
            texto(ids(Funcionario::listarPorPeriodo(c.get(), hora(9), hora(17), treino.toInt()))),
            listados);
        std::vector<int> escolhidos;
        for (const QByteArray &id : pedidos.split(','))
            if (!id.isEmpty())
                escolhidos.push_back(id.toInt());
        const TestSupport::CoutCapture out;
        QCOMPARE(
            texto(Funcionario::producaoPorClasse(c.get(), 0, hora(9), hora(17), quantidade.toInt(),
                                                 treino.toInt(), escolhidos)),
            contagens);
    }

    void failedStatementGivesDefaults()
    {
        const auto c = TestSupport::connect();
        c->close();
        QStringList sent;
        c->setStatementObserver([&](const std::string &s) { sent << s.c_str(); });
        const TestSupport::CoutCapture out;
        QVERIFY(ids(Treino::listarComEventosNoPeriodo(c.get(), 1, 2)).empty());
        QVERIFY(ids(NumeroClassificacaoTreino::listarPorTreino(c.get(), 7)).empty());
        QVERIFY(ids(Sessao::listarPorPeriodo(c.get(), 1, 2, 7, 1, 0)).empty());
        QVERIFY(ids(Funcionario::listarPorPeriodo(c.get(), 1, 2, 0)).empty());
        QCOMPARE(Sessao::tempoSomado(c.get(), 1, 2, 0, 0), 0L);
        QCOMPARE(Sessao::tempoCoberto(c.get(), 1, 2, 0, 0), 0L);
        QCOMPARE(Funcionario::contarEventos(c.get(), 0, 1, 2, 0), -1L);
        QCOMPARE(texto(Funcionario::producaoPorClasse(c.get(), 0, 1, 2, 1, 0, {2})), "-1");
        QCOMPARE(sent.size(), 8);
        for (const QString &sql : sent)
            QVERIFY(QString::fromStdString(out.text()).contains(sql + "\n"));
    }

    void entities_data() { TestSupport::tabela("entidades.tsv"); }
    void entities()
    {
        const auto [enviados] = TestSupport::celulas("enviados");
        const auto c = TestSupport::connect();
        const QByteArray caso = QTest::currentDataTag();
        QStringList sent;
        const auto idaEVolta = [&](auto &&novo, auto &&lido) {
            c->setStatementObserver([&](const std::string &s) { sent << s.c_str(); });
            QVERIFY(novo.save());
            c->setStatementObserver(nullptr);
            std::string colunas;
            for (const std::string &coluna : novo.columnNames())
                colunas += (colunas.empty() ? "" : ",") + coluna;
            const ResultPtr r(
                executeQuery(c.get(), "select " + colunas + " from " + novo.tableName()
                                          + " where id=" + std::to_string(novo.getId())));
            lido.loadFromRow(r.get());
            QVERIFY(lido.columnValues() == novo.columnValues());
            c->setStatementObserver([&](const std::string &s) { sent << s.c_str(); });
            QVERIFY(novo.save() && novo.remove());
        };
        if (caso == "variety")
            idaEVolta(Treino(c.get(), -1, "Uva", true, "C:/x", 2),
                      Treino(c.get(), -1, "", 0, "", 0));
        else if (caso == "class entry")
            idaEVolta(NumeroClassificacaoTreino(c.get(), -1, 7, 1, 12),
                      NumeroClassificacaoTreino(c.get(), -1, 0, 0, 0));
        else if (caso == "session")
            idaEVolta(Sessao(c.get(), -1, 3, 100, 200, 1, 7), Sessao(c.get(), -1, 0, 0, 0, 0, 0));
        else
            idaEVolta(Funcionario(c.get(), -1, "Zé d'Ávila", true, "Z"),
                      Funcionario(c.get(), -1, "", false, ""));
        QCOMPARE(sent.join('|'), QString(enviados));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
