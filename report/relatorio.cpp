#include "report/relatorio.h"

#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "model/funcionario.h"
#include "model/sessao.h"
#include "model/treino.h"
#include "report/arquivorelatorio.h"

#include <iostream>
#include <memory>
#include <vector>

namespace {

// The entities a query hands over, owned from the moment they arrive.
template <typename T>
std::vector<std::unique_ptr<T>> tomarPosse(std::vector<T *> lista)
{
    std::vector<std::unique_ptr<T>> posse;
    posse.reserve(lista.size());
    for (T *item : lista)
        posse.emplace_back(item);
    return posse;
}

std::string formatar(const QDateTime &instante, const char *formato)
{
    return instante.toString(QString::fromLatin1(formato)).toStdString();
}

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

std::string Relatorio::caminhoArquivo() const
{
    return diretorioSaida + "/Relatorio_" + formatar(dataInicio.toLocalTime(), "yyyy-MM-dd")
           + "_a_" + formatar(dataFinal.toLocalTime(), "yyyy-MM-dd") + ".xls";
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

bool Relatorio::gerar()
{
    if (!conexao || !dataInicio.isValid() || !dataFinal.isValid() || !(dataInicio < dataFinal))
        return false;
    if (isInterruptionRequested())
        return false;

    const long t0 = static_cast<long>(dataInicio.toSecsSinceEpoch());
    const long t1 = static_cast<long>(dataFinal.toSecsSinceEpoch());
    const std::string caminho = caminhoArquivo();

    Saida saida;
    if (!saida.abrir(caminho)) {
        std::cout << "Falha ao abrir o arquivo do relatorio: " << caminho << std::endl;
        return false;
    }
    const int falhasAntes = conexao->failedStatements();

    // Progress counts summaries. A variety without machine sessions still
    // counts as one step done, so the planned number never shrinks.
    int feitos = 0;
    int previstos = 1;
    emit progresso(feitos, previstos);

    const QDateTime inicio = dataInicio.toLocalTime();
    const QDateTime fim = dataFinal.toLocalTime();
    saida.linha("Per\xEDodo\tDia\tHora");
    saida.linha("In\xED" "cio\t" + formatar(inicio, "dd/MM/yyyy") + "\t"
                + formatar(inicio, "hh:mm:ss"));
    saida.linha("Fim\t" + formatar(fim, "dd/MM/yyyy") + "\t" + formatar(fim, "hh:mm:ss"));
    saida.linha("");
    saida.linha("TODAS VARIEDADES");

    escreverResumo(saida, 0, t0, t1);

    std::vector<std::unique_ptr<Treino>> variedades;
    if (!deveParar(saida)) {
        variedades = tomarPosse(Treino::listarComEventosNoPeriodo(conexao, t0, t1));
        feitos = 1;
        previstos = 1 + static_cast<int>(variedades.size());
        emit progresso(feitos, previstos);
    }

    for (std::unique_ptr<Treino> &variedade : variedades) {
        if (deveParar(saida))
            break;
        const int idTreino = variedade->getId();
        const std::string nome = nomeNoArquivo(variedade->getNome());
        if (!separarSessoes) {
            saida.linha("");
            saida.linha(nome);
            escreverResumo(saida, idTreino, t0, t1);
            emit progresso(++feitos, previstos);
        } else {
            std::vector<std::unique_ptr<Sessao>> sessoes
                = tomarPosse(Sessao::listarPorPeriodo(conexao, t0, t1, idTreino, 1, 0));
            if (sessoes.empty()) {
                emit progresso(++feitos, previstos);
            } else if (sessoes.size() > 1) {
                previstos += static_cast<int>(sessoes.size()) - 1;
                emit progresso(feitos, previstos);
            }
            for (std::unique_ptr<Sessao> &sessao : sessoes) {
                if (deveParar(saida))
                    break;
                // The session's own bounds, not clipped to the period.
                const QDateTime comeco = QDateTime::fromSecsSinceEpoch(sessao->instante_inicial);
                const QDateTime termino = QDateTime::fromSecsSinceEpoch(sessao->instante_final);
                saida.linha("");
                saida.linha(nome);
                saida.linha("");
                saida.linha("Sess\xE3o in\xED" "cio:\t" + formatar(comeco, "dd/MM/yyyy") + "\t"
                            + formatar(comeco, "hh:mm"));
                saida.linha("Fim:\t" + formatar(termino, "dd/MM/yyyy") + "\t"
                            + formatar(termino, "hh:mm"));
                escreverResumo(saida, idTreino, sessao->instante_inicial, sessao->instante_final);
                sessao.reset();
                emit progresso(++feitos, previstos);
            }
        }
        variedade.reset();
    }

    const bool interrompido = isInterruptionRequested();
    const bool gravado = saida.fechar();
    return gravado && !interrompido && conexao->failedStatements() == falhasAntes;
}

void Relatorio::escreverResumo(Saida &saida, int idTreino, long inicio, long fim)
{
    if (deveParar(saida))
        return;
    const long tempoMaquina = Sessao::tempoCoberto(conexao, inicio, fim, idTreino, 1);
    saida.linha("");
    saida.linha("Tempo acumulado da m\xE1quina\t" + formatDuration(tempoMaquina));

    if (deveParar(saida))
        return;
    const long tempoFuncionarios = Sessao::tempoSomado(conexao, inicio, fim, idTreino, 0);
    saida.linha("Tempo acumulado de funcion\xE1rios\t" + formatDuration(tempoFuncionarios));

    std::vector<long> contagens;
    long totalProduzido = 0;
    for (int classe = 0; classe < numeroClasses; ++classe) {
        if (deveParar(saida))
            return;
        contagens.push_back(
            Funcionario::contarEventos(conexao, classe, inicio, fim, idTreino));
        totalProduzido += contagens.back();
    }
    saida.linha("");
    for (int classe = 0; classe < numeroClasses; ++classe)
        saida.linha("Classe " + letraDaClasse(classe) + " produzidas\t"
                    + longToString(contagens[classe]));
    saida.linha("Total produzido\t " + longToString(totalProduzido));

    if (deveParar(saida))
        return;
    std::vector<std::unique_ptr<Funcionario>> funcionarios
        = tomarPosse(Funcionario::listarPorPeriodo(conexao, inicio, fim, idTreino));
    std::vector<int> ids;
    for (const std::unique_ptr<Funcionario> &funcionario : funcionarios)
        ids.push_back(funcionario->getId());
    const int quantidade = static_cast<int>(ids.size());
    std::vector<std::vector<int>> producao;
    for (int classe = 0; classe < numeroClasses; ++classe) {
        if (deveParar(saida))
            return;
        producao.push_back(Funcionario::producaoPorClasse(conexao, classe, inicio, fim,
                                                          quantidade, idTreino, ids));
    }

    saida.linha("");
    std::string cabecalho = "Funcion\xE1rio\t";
    for (int classe = 0; classe < numeroClasses; ++classe)
        cabecalho += "Classe " + letraDaClasse(classe) + "\t";
    saida.linha(cabecalho + "Total\tHoras");

    for (std::size_t i = 0; i < funcionarios.size(); ++i) {
        if (deveParar(saida))
            return;
        std::string linha = nomeNoArquivo(funcionarios[i]->nome) + "\t";
        long totalFuncionario = 0;
        for (const std::vector<int> &daClasse : producao) {
            // Counts pair with employees by position; a short list (its
            // query failed) reads as the getters' -1.
            const int contagem = i < daClasse.size() ? daClasse[i] : -1;
            linha += intToString(contagem) + "\t";
            totalFuncionario += contagem;
        }
        const long horas
            = Sessao::tempoCoberto(conexao, inicio, fim, idTreino, funcionarios[i]->getId());
        saida.linha(linha + longToString(totalFuncionario) + "\t" + formatDuration(horas));
        funcionarios[i].reset();
    }
}
