#pragma once

// The report job: on its own thread, writes the report file for one period
// and announces the outcome once.

#include <QDateTime>
#include <QThread>

#include <mutex>
#include <string>

class ArquivoRelatorio;
class DatabaseConnection;

class Relatorio : public QThread
{
    Q_OBJECT

public:
    explicit Relatorio(QObject *parent = nullptr);
    ~Relatorio() override;

    void configurar(DatabaseConnection *conexao, QDateTime dataInicio, QDateTime dataFinal,
                    const int &numeroClasses, std::string diretorioSaida, bool separarSessoes);

    // Builds and writes the report file; true when it was written whole and
    // every statement succeeded.
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
    using Saida = ArquivoRelatorio;
    void escreverResumo(Saida &saida, int idTreino, long inicio, long fim);
    // A cancellation was asked for, or the file already failed: stop before
    // the next statement.
    bool deveParar(const Saida &saida) const;

    DatabaseConnection *conexao = nullptr;
    QDateTime dataInicio;
    QDateTime dataFinal;
    int numeroClasses = 0;
    std::string diretorioSaida;
    bool separarSessoes = false;

    // Keeps cancelar() from touching the connection once run() has handed it
    // back.
    std::mutex mutexCancelamento;
    bool emExecucao = false;
};
