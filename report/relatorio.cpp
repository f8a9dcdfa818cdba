#include "report/relatorio.h"

#include "db/databaseconnection.h"
#include "db/pipeline.h"
#include "db/queryresult.h"
#include "model/funcionario.h"
#include "model/numeroclassificacaotreino.h"
#include "model/posse.h"
#include "model/sessao.h"
#include "model/treino.h"
#include "report/escritorpastadetrabalho.h"
#include "report/escritortexto.h"

#include <deque>
#include <iostream>
#include <vector>

namespace {

// Statements in flight at once, and summaries begun and not yet written.
// Bounded so that memory stays flat however long the period, and so that a
// stop cancels few enough statements to end quickly over a slow network.
constexpr int kComandosEmVoo = 48;
constexpr std::size_t kResumosAbertos = 12;

std::string letraDaClasse(int classe)
{
    return std::string(1, static_cast<char>('A' + classe));
}

} // namespace

// One summary's figures, filled in as their results arrive.
struct Relatorio::Resumo
{
    int idTreino = 0;
    long inicio = 0;
    long fim = 0;
    long tempoMaquina = 0;
    long tempoFuncionarios = 0;
    std::vector<long> contagens;
    std::vector<std::unique_ptr<Funcionario>> funcionarios;
    std::vector<std::vector<int>> producao;
    std::vector<long> horas;
    int pendentes = 0; // results still to come
};

// A piece of the file: the rows before a summary, then the summary.
struct Relatorio::Bloco
{
    std::vector<std::pair<std::vector<Celula>, PapelDaLinha>> linhas;
    std::unique_ptr<Resumo> resumo;
};

// The report's statements and their results: summaries begun in file order
// as soon as what they depend on is known, and written in that order as soon
// as they are whole.
struct Relatorio::Montagem
{
    Relatorio &relatorio;
    Saida &saida;
    Pipeline pipeline;
    long t0;
    long t1;
    std::deque<Bloco> abertos;
    bool variedadesConhecidas = false;
    std::vector<std::unique_ptr<Treino>> variedades;
    // Separated mode: each variety's machine sessions, once known.
    std::vector<std::vector<std::unique_ptr<Sessao>>> sessoes;
    std::vector<bool> sessoesConhecidas;
    std::size_t proximaVariedade = 0;
    std::size_t proximaSessao = 0;

    Montagem(Relatorio &relatorio, Saida &saida, long t0, long t1)
        : relatorio(relatorio)
        , saida(saida)
        , pipeline(relatorio.conexao, kComandosEmVoo)
        , t0(t0)
        , t1(t1)
    {
    }

    void executar()
    {
        abrir({}, 0, t0, t1);
        pipeline.enviar(Treino::consultaComEventos(t0, t1),
                        [this](const PGresult *r) { aoConhecerVariedades(r); });
        pipeline.executar([this] { return relatorio.deveParar(saida); },
                          [this] {
                              escreverProntos();
                              planejar();
                          });
    }

    // A summary's first statements, in the order the file shows their
    // figures; the employee list brings the rest.
    void abrir(std::vector<std::pair<std::vector<Celula>, PapelDaLinha>> linhas, int idTreino,
               long inicio, long fim)
    {
        auto resumo = std::make_unique<Resumo>();
        Resumo *r = resumo.get();
        r->idTreino = idTreino;
        r->inicio = inicio;
        r->fim = fim;
        r->pendentes = 3 + relatorio.numeroClasses;
        r->contagens.resize(relatorio.numeroClasses);
        abertos.push_back({std::move(linhas), std::move(resumo)});
        pipeline.enviar(Sessao::consultaIntervalos(inicio, fim, idTreino, 1),
                        [r](const PGresult *res) {
                            r->tempoMaquina = Sessao::tempoCobertoDe(res, r->inicio, r->fim);
                            --r->pendentes;
                        });
        pipeline.enviar(Sessao::consultaIntervalos(inicio, fim, idTreino, 0),
                        [r](const PGresult *res) {
                            r->tempoFuncionarios = Sessao::tempoSomadoDe(res, r->inicio, r->fim);
                            --r->pendentes;
                        });
        for (int classe = 0; classe < relatorio.numeroClasses; ++classe)
            pipeline.enviar(Funcionario::consultaContagem(classe, inicio, fim, idTreino),
                            [r, classe](const PGresult *res) {
                                r->contagens[classe] = getLong(res, 0, 0);
                                --r->pendentes;
                            });
        pipeline.enviar(Funcionario::consultaPorPeriodo(inicio, fim, idTreino),
                        [this, r](const PGresult *res) { aoConhecerFuncionarios(*r, res); });
    }

    // Production per class and each employee's hours depend on the list.
    void aoConhecerFuncionarios(Resumo &r, const PGresult *res)
    {
        r.funcionarios = tomarPosse(Funcionario::listaDe(relatorio.conexao, res));
        std::vector<int> ids;
        for (const std::unique_ptr<Funcionario> &funcionario : r.funcionarios)
            ids.push_back(funcionario->getId());
        const int quantidade = static_cast<int>(ids.size());
        r.producao.resize(relatorio.numeroClasses);
        r.horas.resize(ids.size());
        r.pendentes += relatorio.numeroClasses + quantidade - 1;
        Resumo *resumo = &r;
        for (int classe = 0; classe < relatorio.numeroClasses; ++classe)
            pipeline.enviar(Funcionario::consultaProducao(classe, r.inicio, r.fim, r.idTreino, ids),
                            [resumo, classe, quantidade](const PGresult *res) {
                                resumo->producao[classe] = Funcionario::producaoDe(res, quantidade);
                                --resumo->pendentes;
                            });
        for (std::size_t i = 0; i < ids.size(); ++i)
            pipeline.enviar(Sessao::consultaIntervalos(r.inicio, r.fim, r.idTreino, ids[i]),
                            [resumo, i](const PGresult *res) {
                                resumo->horas[i]
                                    = Sessao::tempoCobertoDe(res, resumo->inicio, resumo->fim);
                                --resumo->pendentes;
                            });
    }

    void aoConhecerVariedades(const PGresult *res)
    {
        variedades = tomarPosse(Treino::listaDe(relatorio.conexao, res, false));
        variedadesConhecidas = true;
        sessoes.resize(variedades.size());
        sessoesConhecidas.assign(variedades.size(), false);
        relatorio.avancar(0, static_cast<int>(variedades.size()));
        for (std::size_t v = 0; v < variedades.size(); ++v) {
            Treino *variedade = variedades[v].get();
            pipeline.enviar(NumeroClassificacaoTreino::consultaPorTreino(variedade->getId()),
                            [this, variedade](const PGresult *r) {
                                variedade->classificacoes = NumeroClassificacaoTreino::listaDe(
                                    relatorio.conexao, r, variedade->getId());
                            });
        }
        if (!relatorio.separarSessoes)
            return;
        for (std::size_t v = 0; v < variedades.size(); ++v) {
            const int idTreino = variedades[v]->getId();
            pipeline.enviar(Sessao::consultaPorPeriodo(t0, t1, idTreino, 1, 0),
                            [this, v, idTreino](const PGresult *r) {
                                sessoes[v] = tomarPosse(
                                    Sessao::listaDe(relatorio.conexao, r, t1, idTreino));
                                sessoesConhecidas[v] = true;
                                // A variety without machine sessions is a step
                                // done at once; more than one add steps.
                                if (sessoes[v].empty())
                                    relatorio.avancar(1);
                                else if (sessoes[v].size() > 1)
                                    relatorio.avancar(0, static_cast<int>(sessoes[v].size()) - 1);
                            });
        }
    }

    // Begins the next summaries in file order, while there is room.
    void planejar()
    {
        while (variedadesConhecidas && abertos.size() < kResumosAbertos
               && proximaVariedade < variedades.size() && !relatorio.deveParar(saida)) {
            const Treino &variedade = *variedades[proximaVariedade];
            const Celula nome = Celula::texto(variedade.getNome());
            if (!relatorio.separarSessoes) {
                abrir({{{}, PapelDaLinha::Comum}, {{nome}, PapelDaLinha::Titulo}},
                      variedade.getId(), t0, t1);
                ++proximaVariedade;
                continue;
            }
            if (!sessoesConhecidas[proximaVariedade])
                return;
            if (proximaSessao == sessoes[proximaVariedade].size()) {
                sessoes[proximaVariedade].clear();
                ++proximaVariedade;
                proximaSessao = 0;
                continue;
            }
            // The session's own bounds, not clipped to the period.
            const Sessao &sessao = *sessoes[proximaVariedade][proximaSessao++];
            const QDateTime comeco = QDateTime::fromSecsSinceEpoch(sessao.instante_inicial);
            const QDateTime termino = QDateTime::fromSecsSinceEpoch(sessao.instante_final);
            abrir({{{}, PapelDaLinha::Comum},
                   {{nome}, PapelDaLinha::Titulo},
                   {{}, PapelDaLinha::Comum},
                   {{Celula::texto("Sessão início:"), Celula::data(comeco),
                     Celula::horaMinuto(comeco)},
                    PapelDaLinha::Titulo},
                   {{Celula::texto("Fim:"), Celula::data(termino), Celula::horaMinuto(termino)},
                    PapelDaLinha::Titulo}},
                  variedade.getId(), sessao.instante_inicial, sessao.instante_final);
        }
    }

    // Writes the summaries at the front that are whole.
    void escreverProntos()
    {
        while (!abertos.empty() && abertos.front().resumo->pendentes == 0
               && !relatorio.deveParar(saida)) {
            const Bloco bloco = std::move(abertos.front());
            abertos.pop_front();
            for (const auto &[celulas, papel] : bloco.linhas)
                saida.linha(celulas, papel);
            relatorio.escreverResumo(saida, *bloco.resumo);
            relatorio.avancar(1);
        }
    }
};

Relatorio::Relatorio(QObject *parent)
    : QThread(parent)
{
}

Relatorio::~Relatorio() = default;

void Relatorio::configurar(DatabaseConnection *conexao, QDateTime dataInicio, QDateTime dataFinal,
                           const int &numeroClasses, std::string diretorioSaida,
                           bool separarSessoes)
{
    this->conexao = conexao;
    this->dataInicio = std::move(dataInicio);
    this->dataFinal = std::move(dataFinal);
    this->numeroClasses = numeroClasses;
    this->diretorioSaida = std::move(diretorioSaida);
    this->separarSessoes = separarSessoes;
}

bool Relatorio::formatoPeloNome(const QString &nome, Formato &formato)
{
    if (nome == QLatin1String("xls"))
        formato = Formato::Texto;
    else if (nome == QLatin1String("xlsx"))
        formato = Formato::PastaDeTrabalho;
    else
        return false;
    return true;
}

std::unique_ptr<EscritorRelatorio> Relatorio::novaSaida() const
{
    if (formato == Formato::PastaDeTrabalho)
        return std::make_unique<EscritorPastaDeTrabalho>();
    return std::make_unique<EscritorTexto>();
}

std::string Relatorio::caminhoArquivo() const
{
    const auto dia = [](const QDateTime &instante) {
        return instante.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    };
    return diretorioSaida + "/Relatorio_" + dia(dataInicio) + "_a_" + dia(dataFinal)
           + novaSaida()->extensao();
}

void Relatorio::cancelar()
{
    const std::lock_guard<std::mutex> trava(mutexCancelamento);
    requestInterruption();
    if (emExecucao && conexao)
        conexao->interrupt();
}

void Relatorio::run()
{
    {
        const std::lock_guard<std::mutex> trava(mutexCancelamento);
        emExecucao = true;
    }
    const bool sucesso = gerar();
    {
        // The connection goes back to its owner ready for the next report.
        const std::lock_guard<std::mutex> trava(mutexCancelamento);
        emExecucao = false;
        if (isInterruptionRequested() && conexao)
            conexao->clearInterruption();
    }
    emit relatorioGerado(sucesso);
}

bool Relatorio::deveParar(const Saida &saida) const
{
    return isInterruptionRequested() || !saida.semErros();
}

void Relatorio::avancar(int feitosAMais, int previstosAMais)
{
    feitos += feitosAMais;
    previstos += previstosAMais;
    emit progresso(feitos, previstos);
}

bool Relatorio::gerar()
{
    if (!conexao || !dataInicio.isValid() || !dataFinal.isValid() || !(dataInicio < dataFinal))
        return false;
    if (isInterruptionRequested())
        return false;

    const long t0 = static_cast<long>(dataInicio.toSecsSinceEpoch());
    const long t1 = static_cast<long>(dataFinal.toSecsSinceEpoch());
    const std::string caminho = caminhoArquivo();

    const std::unique_ptr<Saida> saida = novaSaida();
    if (!saida->abrir(caminho)) {
        std::cout << "Falha ao abrir o arquivo do relatorio: " << caminho << std::endl;
        return false;
    }
    const int falhasAntes = conexao->failedStatements();

    // Progress counts summaries. A variety without machine sessions still
    // counts as one step done, so the planned number never shrinks.
    feitos = 0;
    previstos = 0;
    avancar(0, 1);

    escreverCabecalho(*saida);
    {
        Montagem montagem(*this, *saida, t0, t1);
        montagem.executar();
    }

    // A report that lost a statement or was stopped is not a report: only a
    // whole one replaces what the name held.
    if (isInterruptionRequested() || conexao->failedStatements() != falhasAntes
        || !saida->semErros() || feitos != previstos) {
        saida->descartar();
        return false;
    }
    return saida->concluir();
}

void Relatorio::escreverCabecalho(Saida &saida)
{
    saida.linha({Celula::texto("Período"), Celula::texto("Dia"), Celula::texto("Hora")},
                PapelDaLinha::Cabecalho);
    saida.linha({Celula::texto("Início"), Celula::data(dataInicio), Celula::hora(dataInicio)});
    saida.linha({Celula::texto("Fim"), Celula::data(dataFinal), Celula::hora(dataFinal)});
    saida.linha({});
    saida.linha({Celula::texto("TODAS VARIEDADES")}, PapelDaLinha::Titulo);
}

void Relatorio::escreverResumo(Saida &saida, const Resumo &resumo)
{
    saida.linha({});
    saida.linha({Celula::texto("Tempo acumulado da máquina"), Celula::duracao(resumo.tempoMaquina)},
                PapelDaLinha::TempoMaquina);
    saida.linha({Celula::texto("Tempo acumulado de funcionários"),
                 Celula::duracao(resumo.tempoFuncionarios)});
    saida.linha({});
    long totalProduzido = 0;
    for (int classe = 0; classe < numeroClasses; ++classe) {
        saida.linha({Celula::texto("Classe " + letraDaClasse(classe) + " produzidas"),
                     Celula::inteiro(resumo.contagens[classe])});
        totalProduzido += resumo.contagens[classe];
    }
    saida.linha({Celula::texto("Total produzido"), Celula::inteiro(totalProduzido)},
                PapelDaLinha::TotalProduzido);
    escreverTabelaFuncionarios(saida, resumo);
}

// Each employee with a session in the span: production per class, total and
// hours.
void Relatorio::escreverTabelaFuncionarios(Saida &saida, const Resumo &resumo)
{
    saida.linha({});
    std::vector<Celula> cabecalho{Celula::texto("Funcionário")};
    for (int classe = 0; classe < numeroClasses; ++classe)
        cabecalho.push_back(Celula::texto("Classe " + letraDaClasse(classe)));
    cabecalho.push_back(Celula::texto("Total"));
    cabecalho.push_back(Celula::texto("Horas"));
    saida.linha(cabecalho, PapelDaLinha::Cabecalho);

    for (std::size_t i = 0; i < resumo.funcionarios.size(); ++i) {
        std::vector<Celula> linha{Celula::texto(resumo.funcionarios[i]->nome)};
        long totalFuncionario = 0;
        for (const std::vector<int> &daClasse : resumo.producao) {
            // Counts pair with employees by position; a short list (its
            // query failed) reads as the getters' -1.
            const int contagem = i < daClasse.size() ? daClasse[i] : -1;
            linha.push_back(Celula::inteiro(contagem));
            totalFuncionario += contagem;
        }
        linha.push_back(Celula::inteiro(totalFuncionario));
        linha.push_back(Celula::duracao(resumo.horas[i]));
        saida.linha(linha, PapelDaLinha::Funcionario);
    }
}
