#pragma once

// The report screen: the connection to the machine's database with its LED,
// the report period, and one report job at a time.
//
//   TelaRelatorio --owns--> DatabaseConnection <--borrows-- Relatorio (thread)
//   TelaRelatorio --owns--> ConnectionAttempt --borrows--> DatabaseConnection
//
// The connection is idle (none, or closed), connecting (an attempt under way,
// the window responsive meanwhile) or connected.

#include <QDate>
#include <QString>
#include <QTime>
#include <QWidget>

#include <memory>

class ConnectionAttempt;
class DatabaseConnection;
class Relatorio;

namespace Ui {
class TelaRelatorio;
}

class TelaRelatorio : public QWidget
{
    Q_OBJECT

public:
    explicit TelaRelatorio(QWidget *parent = nullptr);
    // Stops a running job and waits for its thread before the connection it
    // borrows goes away.
    ~TelaRelatorio() override;

    // A connection attempt is under way.
    bool conectando() const;

    // "dd/MM/yyyy hh:mm": the period as the labels show it.
    static QString formatarDataHora(const QDate &data, const QTime &hora);

signals:
    void message(QString msg, int timeout = 0);
    // True from the start of a job until its outcome has arrived; meanwhile
    // the connection belongs to the job.
    void relatorioEmAndamento(bool emAndamento);
    // Summaries written so far and planned, as the running job reports them.
    void progressoRelatorio(int feitos, int previstos);
    // The outcome of a connection attempt.
    void conexaoMudou(bool conectado);

public slots:
    void finalizarRelatorio(bool sucesso);
    // Starts a connection attempt (abandoning one under way) and returns at
    // once: true only if the connection is already open, so false while the
    // attempt is pending; conexaoMudou() tells its outcome.
    bool conectar();
    void desconectar();

private slots:
    void on_calendarDataFinal_selectionChanged();
    void on_calendarDataInicio_selectionChanged();
    void on_timeDataInicio_timeChanged(QTime time);
    void on_timeDataFinal_timeChanged(QTime time);
    void on_botaoGeraRelatorio_clicked();

private:
    bool relatorioRodando() const { return relatorio != nullptr; }
    void aoConectar(bool conectado);

    Ui::TelaRelatorio *ui;
    std::unique_ptr<DatabaseConnection> conexao;
    // The attempt under way, or the last one; null when disconnected.
    std::unique_ptr<ConnectionAttempt> tentativa;
    // The running job; null while idle.
    Relatorio *relatorio = nullptr;
};
