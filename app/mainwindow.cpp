#include "app/mainwindow.h"

#include "app/opcoesdialog.h"
#include "config/configuracoes.h"
#include "ui_aboutdialog.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>

#include <iostream>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    // Loaded before the UI is built, so that the report screen's first
    // connection attempt already uses the stored address.
    const bool configuracoesLidas = carregarConfiguracoes();
    ui->setupUi(this);
    TelaRelatorio *tela = ui->centralWidget;
    connect(tela, &TelaRelatorio::message, ui->statusBar, &QStatusBar::showMessage);
    // The first attempt began with the screen, before the status bar listened.
    if (tela->conectando())
        ui->statusBar->showMessage(QStringLiteral("Aguarde. Conectando..."));
    connect(ui->actionConectar, &QAction::triggered, tela, &TelaRelatorio::conectar);
    connect(ui->actionDesconectar, &QAction::triggered, tela, &TelaRelatorio::desconectar);
    connect(ui->actionSair, &QAction::triggered, this, &QWidget::close);

    // While a report runs its job uses the connection, so the connection
    // actions wait for its outcome; the status bar shows how far it got.
    auto *progresso = new QProgressBar;
    progresso->setObjectName("progressoRelatorio");
    progresso->setMaximumWidth(200);
    progresso->setFormat(tr("%v de %m"));
    ui->statusBar->addPermanentWidget(progresso);
    progresso->hide();
    connect(tela, &TelaRelatorio::relatorioEmAndamento, this, [this, progresso](bool emAndamento) {
        ui->actionConectar->setEnabled(!emAndamento);
        ui->actionDesconectar->setEnabled(!emAndamento);
        if (emAndamento)
            progresso->setRange(0, 0);
        progresso->setVisible(emAndamento);
    });
    connect(tela, &TelaRelatorio::progressoRelatorio, progresso,
            [progresso](int feitos, int previstos) {
                progresso->setRange(0, previstos);
                progresso->setValue(feitos);
            });

    // Told once the window is up; the program goes on with the defaults.
    if (!configuracoesLidas)
        QTimer::singleShot(0, this, [this] {
            QMessageBox::warning(this, tr("Aviso"),
                                 tr("Não foi possível ler as configurações em %1. O programa usa "
                                    "os valores padrão.")
                                     .arg(arquivoDeConfiguracoes()));
        });
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::on_actionOpcoes_triggered()
{
    OpcoesDialog dialogo(this);
    if (dialogo.exec() != QDialog::Accepted)
        return;
    if (dialogo.salvar())
        std::cout << "Opções salvas." << std::endl;
    else
        QMessageBox::warning(this, tr("Aviso"),
                             tr("As opções não foram salvas em %1. Os valores valem só até o "
                                "programa ser fechado.")
                                 .arg(arquivoDeConfiguracoes()));
}

void MainWindow::on_actionSobre_triggered()
{
    // Not modal, and a new one each time; the window keeps them as children.
    auto *dialogo = new QDialog(this);
    Ui::AboutDialog form;
    form.setupUi(dialogo);
    dialogo->show();
}
