#include "app/mainwindow.h"

#include "app/opcoesdialog.h"
#include "config/configuracoes.h"
#include "ui_aboutdialog.h"
#include "ui_mainwindow.h"

#include <QProgressBar>

#include <iostream>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    // Loaded before the UI is built, so that the report screen's first
    // connection attempt already uses the stored address.
    carregarConfiguracoes();
    ui->setupUi(this);
    TelaRelatorio *tela = ui->centralWidget;
    connect(tela, &TelaRelatorio::message, ui->statusBar, &QStatusBar::showMessage);
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
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::on_actionOpcoes_triggered()
{
    OpcoesDialog dialogo(this);
    if (dialogo.exec() == QDialog::Accepted) {
        std::cout << "Opções salvas." << std::endl;
        dialogo.salvar();
    }
}

void MainWindow::on_actionSobre_triggered()
{
    // Not modal, and a new one each time; the window keeps them as children.
    auto *dialogo = new QDialog(this);
    Ui::AboutDialog form;
    form.setupUi(dialogo);
    dialogo->show();
}
