#include "report/relatorio.h"

#include "db/databaseconnection.h"
#include "model/funcionario.h"
#include "model/posse.h"
#include "model/sessao.h"
#include "model/treino.h"
#include "report/escritorpastadetrabalho.h"
#include "report/escritortexto.h"

#include <iostream>
#include <vector>

namespace {

std::string letraDaClasse(int classe)
{
    return std::string(1, static_cast<char>('A' + classe));
}

} // namespace

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

template <typename Consulta>
bool Relatorio::consultar(const Saida &saida, Consulta &&consulta)
{
    if (deveParar(saida))
        return false;
    consulta();
    return true;
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
    escreverResumo(*saida, 0, t0, t1);

    std::vector<std::unique_ptr<Treino>> variedades;
    if (consultar(*saida, [&] {
            variedades = tomarPosse(Treino::listarComEventosNoPeriodo(conexao, t0, t1));
        }))
        avancar(1, static_cast<int>(variedades.size()));

    for (std::unique_ptr<Treino> &variedade : variedades) {
        if (deveParar(*saida))
            break;
        escreverVariedade(*saida, *variedade, t0, t1);
        variedade.reset();
    }

    // A report that lost a statement or was stopped is not a report: only a
    // whole one replaces what the name held.
    if (isInterruptionRequested() || conexao->failedStatements() != falhasAntes
        || !saida->semErros()) {
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

// One summary for the variety over the period, or one per machine session of
// the variety in the period.
void Relatorio::escreverVariedade(Saida &saida, Treino &variedade, long inicio, long fim)
{
    const int idTreino = variedade.getId();
    if (!separarSessoes) {
        saida.linha({});
        saida.linha({Celula::texto(variedade.getNome())}, PapelDaLinha::Titulo);
        escreverResumo(saida, idTreino, inicio, fim);
        avancar(1);
        return;
    }
    std::vector<std::unique_ptr<Sessao>> sessoes;
    if (!consultar(saida, [&] {
            sessoes = tomarPosse(Sessao::listarPorPeriodo(conexao, inicio, fim, idTreino, 1, 0));
        }))
        return;
    if (sessoes.empty())
        avancar(1);
    else if (sessoes.size() > 1)
        avancar(0, static_cast<int>(sessoes.size()) - 1);
    for (std::unique_ptr<Sessao> &sessao : sessoes) {
        if (deveParar(saida))
            break;
        escreverSessao(saida, variedade, *sessao);
        sessao.reset();
        avancar(1);
    }
}

// A machine session's block: the session's own bounds, not clipped to the
// period, then its summary.
void Relatorio::escreverSessao(Saida &saida, const Treino &variedade, const Sessao &sessao)
{
    const QDateTime comeco = QDateTime::fromSecsSinceEpoch(sessao.instante_inicial);
    const QDateTime termino = QDateTime::fromSecsSinceEpoch(sessao.instante_final);
    saida.linha({});
    saida.linha({Celula::texto(variedade.getNome())}, PapelDaLinha::Titulo);
    saida.linha({});
    saida.linha({Celula::texto("Sessão início:"), Celula::data(comeco), Celula::horaMinuto(comeco)},
                PapelDaLinha::Titulo);
    saida.linha({Celula::texto("Fim:"), Celula::data(termino), Celula::horaMinuto(termino)},
                PapelDaLinha::Titulo);
    escreverResumo(saida, variedade.getId(), sessao.instante_inicial, sessao.instante_final);
}

void Relatorio::escreverResumo(Saida &saida, int idTreino, long inicio, long fim)
{
    long tempoMaquina = 0;
    if (!consultar(saida,
                   [&] { tempoMaquina = Sessao::tempoCoberto(conexao, inicio, fim, idTreino, 1); }))
        return;
    saida.linha({});
    saida.linha({Celula::texto("Tempo acumulado da máquina"), Celula::duracao(tempoMaquina)},
                PapelDaLinha::TempoMaquina);

    long tempoFuncionarios = 0;
    if (!consultar(saida, [&] {
            tempoFuncionarios = Sessao::tempoSomado(conexao, inicio, fim, idTreino, 0);
        }))
        return;
    saida.linha(
        {Celula::texto("Tempo acumulado de funcionários"), Celula::duracao(tempoFuncionarios)});

    std::vector<long> contagens;
    long totalProduzido = 0;
    for (int classe = 0; classe < numeroClasses; ++classe) {
        if (!consultar(saida, [&] {
                contagens.push_back(
                    Funcionario::contarEventos(conexao, classe, inicio, fim, idTreino));
            }))
            return;
        totalProduzido += contagens.back();
    }
    saida.linha({});
    for (int classe = 0; classe < numeroClasses; ++classe)
        saida.linha({Celula::texto("Classe " + letraDaClasse(classe) + " produzidas"),
                     Celula::inteiro(contagens[classe])});
    saida.linha({Celula::texto("Total produzido"), Celula::inteiro(totalProduzido)},
                PapelDaLinha::TotalProduzido);

    escreverTabelaFuncionarios(saida, idTreino, inicio, fim);
}

// Each employee with a session in the span: production per class, total and
// hours.
void Relatorio::escreverTabelaFuncionarios(Saida &saida, int idTreino, long inicio, long fim)
{
    std::vector<std::unique_ptr<Funcionario>> funcionarios;
    if (!consultar(saida, [&] {
            funcionarios
                = tomarPosse(Funcionario::listarPorPeriodo(conexao, inicio, fim, idTreino));
        }))
        return;
    std::vector<int> ids;
    for (const std::unique_ptr<Funcionario> &funcionario : funcionarios)
        ids.push_back(funcionario->getId());
    const int quantidade = static_cast<int>(ids.size());
    std::vector<std::vector<int>> producao;
    for (int classe = 0; classe < numeroClasses; ++classe) {
        if (!consultar(saida, [&] {
                producao.push_back(Funcionario::producaoPorClasse(conexao, classe, inicio, fim,
                                                                  quantidade, idTreino, ids));
            }))
            return;
    }

    saida.linha({});
    std::vector<Celula> cabecalho{Celula::texto("Funcionário")};
    for (int classe = 0; classe < numeroClasses; ++classe)
        cabecalho.push_back(Celula::texto("Classe " + letraDaClasse(classe)));
    cabecalho.push_back(Celula::texto("Total"));
    cabecalho.push_back(Celula::texto("Horas"));
    saida.linha(cabecalho, PapelDaLinha::Cabecalho);

    for (std::size_t i = 0; i < funcionarios.size(); ++i) {
        long horas = 0;
        if (!consultar(saida, [&] {
                horas = Sessao::tempoCoberto(conexao, inicio, fim, idTreino,
                                             funcionarios[i]->getId());
            }))
            return;
        std::vector<Celula> linha{Celula::texto(funcionarios[i]->nome)};
        long totalFuncionario = 0;
        for (const std::vector<int> &daClasse : producao) {
            // Counts pair with employees by position; a short list (its
            // query failed) reads as the getters' -1.
            const int contagem = i < daClasse.size() ? daClasse[i] : -1;
            linha.push_back(Celula::inteiro(contagem));
            totalFuncionario += contagem;
        }
        linha.push_back(Celula::inteiro(totalFuncionario));
        linha.push_back(Celula::duracao(horas));
        saida.linha(linha, PapelDaLinha::Funcionario);
        funcionarios[i].reset();
    }
}
