#pragma once

// The report job: on its own thread, writes the report file for one period
// and announces the outcome once.
//
//   Relatorio --borrows--> DatabaseConnection
//   Relatorio --owns, while gerar() runs--> EscritorRelatorio (the file)

#include <QDateTime>
#include <QThread>

#include <memory>
#include <mutex>
#include <string>

class DatabaseConnection;
class EscritorRelatorio;

class Relatorio : public QThread
{
    Q_OBJECT

public:
    explicit Relatorio(QObject *parent = nullptr);
    ~Relatorio() override;

    void configurar(DatabaseConnection *conexao, QDateTime dataInicio, QDateTime dataFinal,
                    const int &numeroClasses, std::string diretorioSaida, bool separarSessoes);

    // The file's format: the text report unless told otherwise before start.
    enum class Formato { Texto, PastaDeTrabalho };
    void definirFormato(Formato formato) { this->formato = formato; }
    // "xls" (text) or "xlsx" (workbook), as the settings and the command
    // line spell a format; false for anything else.
    static bool formatoPeloNome(const QString &nome, Formato &formato);

    // Builds and writes the report file; true when it was written whole and
    // every statement succeeded. Otherwise no file is left: what the name
    // held before stays as it was.
    bool gerar();

    // Stops a running report as soon as possible: between statements, and by
    // cancelling the statement in flight. Safe to call from any thread.
    void cancelar();

    // The path gerar() writes to.
    std::string caminhoArquivo() const;

signals:
    void relatorioGerado(bool sucesso);
    // Steps done so far and steps planned: one per summary, and in separated
    // mode one for a variety that turns out to have no machine session.
    // Planned may grow once the sessions of a variety are known.
    void progresso(int feitos, int previstos);

protected:
    void run() override;

private:
    using Saida = EscritorRelatorio;
    struct Resumo;
    struct Bloco;
    struct Montagem;

    std::unique_ptr<Saida> novaSaida() const;

    // The named steps of gerar(), in the order the file holds them. The
    // statements of many summaries are in flight at once (see Montagem);
    // each summary is written when it is whole and its turn has come.
    void escreverCabecalho(Saida &saida);
    void escreverResumo(Saida &saida, const Resumo &resumo);
    void escreverTabelaFuncionarios(Saida &saida, const Resumo &resumo);

    // A cancellation was asked for, or the file already failed: nothing
    // more is sent.
    bool deveParar(const Saida &saida) const;

    // Adds to the summaries done and planned, and tells.
    void avancar(int feitosAMais, int previstosAMais = 0);

    DatabaseConnection *conexao = nullptr;
    QDateTime dataInicio;
    QDateTime dataFinal;
    int numeroClasses = 0;
    std::string diretorioSaida;
    bool separarSessoes = false;
    Formato formato = Formato::Texto;

    // Progress of the running gerar(): summaries done and planned.
    int feitos = 0;
    int previstos = 0;

    // Keeps cancelar() from touching the connection once run() has handed it
    // back.
    std::mutex mutexCancelamento;
    bool emExecucao = false;
};
