#include "screen/telarelatorio.h"

#include "config/configuracoes.h"
#include "config/maquina.h"
#include "db/connectionattempt.h"
#include "db/databaseconnection.h"
#include "report/periodo.h"
#include "report/relatorio.h"
#include "ui_telarelatorio.h"

#include <QCalendarWidget>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>

namespace {

QString formatarInstante(const QDateTime &instante)
{
    return instante.toString("dd/MM/yyyy hh:mm:ss");
}

} // namespace

TelaRelatorio::TelaRelatorio(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TelaRelatorio)
{
    ui->setupUi(this);
    // Month and day names in Portuguese whatever the system's locale. The time
    // editors show hours, minutes and seconds on the 24-hour clock, as the
    // labels and the report do, whatever the locale's short format would be
    // (12-hour with AM/PM, or without seconds).
    for (QTimeEdit *hora : {ui->timeDataInicio, ui->timeDataFinal})
        hora->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    for (QCalendarWidget *calendario : {ui->calendarDataInicio, ui->calendarDataFinal}) {
        calendario->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
        // Qt moves the columns to the new first day of the week but leaves the
        // highlight where it was: select the date again.
        calendario->setSelectedDate(calendario->selectedDate());
    }

    ui->calendarDataFinal->showToday();
    const QDate dataFinal = ui->calendarDataFinal->selectedDate();
    ui->calendarDataInicio->setSelectedDate(QDate(dataFinal.year(), dataFinal.month(), 1));

    ui->labelInicio->setText(
        formatarDataHora(ui->calendarDataInicio->selectedDate(), ui->timeDataInicio->time()));
    ui->labelFinal->setText(
        formatarDataHora(ui->calendarDataFinal->selectedDate(), ui->timeDataFinal->time()));

    conectar();
}

TelaRelatorio::~TelaRelatorio()
{
    if (relatorio) {
        relatorio->cancelar();
        relatorio->wait();
    }
    tentativa.reset();
    conexao.reset();
    delete ui;
}

QString TelaRelatorio::formatarDataHora(const QDate &data, const QTime &hora)
{
    return data.toString("dd/MM/yyyy") + " " + hora.toString("hh:mm");
}

bool TelaRelatorio::conectar()
{
    // The running job owns the connection until its outcome arrives.
    if (relatorioRodando())
        return false;

    emit message(QStringLiteral("Aguarde. Conectando..."), 0);
    // A new attempt abandons the one under way; replacing the connection
    // closes and destroys the previous one.
    tentativa.reset();
    conexao = conexaoComAMaquina(enderecoBanco.toStdString(), portaBanco.toStdString());
    ui->led->setChecked(false);
    tentativa = std::make_unique<ConnectionAttempt>(conexao.get());
    connect(tentativa.get(), &ConnectionAttempt::finished, this, &TelaRelatorio::aoConectar);
    tentativa->start();
    return conexao->isConnected();
}

bool TelaRelatorio::conectando() const
{
    return tentativa && tentativa->isRunning();
}

void TelaRelatorio::aoConectar(bool conectado)
{
    ui->led->setChecked(conectado);
    if (conectado)
        emit message(QStringLiteral("Conectado com sucesso."), 5000);
    else
        emit message(QStringLiteral("Falha ao conectar com banco de dados. Verifique se o "
                                    "endereço de IP da máquina está correto."),
                     5000);
    emit conexaoMudou(conectado);
}

void TelaRelatorio::desconectar()
{
    if (relatorioRodando())
        return;

    tentativa.reset();
    if (conexao) {
        conexao->close();
        emit message(QStringLiteral("Banco desconectado."), 5000);
    }
    ui->led->setChecked(conexao && conexao->isConnected());
    conexao.reset();
}

void TelaRelatorio::on_calendarDataFinal_selectionChanged()
{
    ui->labelFinal->setText(
        formatarDataHora(ui->calendarDataFinal->selectedDate(), ui->timeDataFinal->time()));
}

void TelaRelatorio::on_calendarDataInicio_selectionChanged()
{
    ui->labelInicio->setText(
        formatarDataHora(ui->calendarDataInicio->selectedDate(), ui->timeDataInicio->time()));
}

void TelaRelatorio::on_timeDataInicio_timeChanged(QTime time)
{
    ui->labelInicio->setText(formatarDataHora(ui->calendarDataInicio->selectedDate(), time));
}

void TelaRelatorio::on_timeDataFinal_timeChanged(QTime time)
{
    ui->labelFinal->setText(formatarDataHora(ui->calendarDataFinal->selectedDate(), time));
}

void TelaRelatorio::on_botaoGeraRelatorio_clicked()
{
    const QDate dataInicio = ui->calendarDataInicio->selectedDate();
    const QTime horaInicio = ui->timeDataInicio->time();
    const QDate dataFinal = ui->calendarDataFinal->selectedDate();
    const QTime horaFinal = ui->timeDataFinal->time();

    if (!conexao || !conexao->isConnected()) {
        QMessageBox::warning(this, tr("Erro!"), tr("Não está conectado à máquina."));
        return;
    }
    if (dataFinal < dataInicio || (dataFinal == dataInicio && horaFinal < horaInicio)) {
        QMessageBox::warning(
            this, tr("Erro!"),
            tr("Data final anterior a data inicial. O relatório não pode ser gerado."));
        return;
    }
    const QDateTime inicio = instanteLocal(dataInicio, horaInicio);
    const QDateTime fim = instanteLocal(dataFinal, horaFinal);
    // Outside this range the period would wrap around in the database.
    if (!instanteRegistravel(inicio) || !instanteRegistravel(fim)) {
        QMessageBox::warning(this, tr("Erro!"),
                             tr("O período deve estar entre %1 e %2, os instantes que o banco "
                                "de dados registra. O relatório não pode ser gerado.")
                                 .arg(formatarInstante(primeiroInstanteRegistravel()),
                                      formatarInstante(ultimoInstanteRegistravel())));
        return;
    }

    const std::string diretorio = diretorioRelatorio.toStdString();
    relatorio = new Relatorio(this);
    connect(relatorio, &Relatorio::relatorioGerado, this, &TelaRelatorio::finalizarRelatorio);
    connect(relatorio, &Relatorio::progresso, this, &TelaRelatorio::progressoRelatorio);
    relatorio->configurar(conexao.get(), inicio, fim, kNumeroClasses, diretorio,
                          ui->separarSessoes->isChecked());
    // A stored format that is neither "xls" nor "xlsx" leaves the text report.
    Relatorio::Formato formato = Relatorio::Formato::Texto;
    Relatorio::formatoPeloNome(formatoRelatorio, formato);
    relatorio->definirFormato(formato);

    ui->botaoGeraRelatorio->setEnabled(false);
    ui->botaoGeraRelatorio->setText(tr("Gerando relatório..."));
    emit relatorioEmAndamento(true);
    relatorio->start(QThread::InheritPriority);
}

void TelaRelatorio::finalizarRelatorio(bool sucesso)
{
    if (relatorio) {
        // Only the running job ends the running state.
        if (sender() != relatorio)
            return;
        // Its run() has delivered the outcome, so its thread is ending.
        relatorio->wait();
        relatorio->deleteLater();
        relatorio = nullptr;
    }
    // A connection the server dropped during the job is not open any more.
    ui->led->setChecked(conexao && conexao->isConnected());

    ui->botaoGeraRelatorio->setEnabled(true);
    ui->botaoGeraRelatorio->setText(tr("Gerar Relatório"));
    emit relatorioEmAndamento(false);

    if (sucesso)
        QMessageBox::warning(this, tr("Aviso"), tr("Relatório gerado com sucesso!"));
    else
        QMessageBox::warning(this, tr("Aviso"),
                             tr("Nossa! Não foi possível gerar o relatorio.\n"
                                "Por favor, entre em contato com seu fornecedor."));
}
