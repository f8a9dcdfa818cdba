#include "app/mainwindow.h"

#include "app/configuracoes.h"
#include "ui_mainwindow.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    // Loaded before the UI is built, so that the report screen's first
    // connection attempt already uses the stored address.
    carregarConfiguracoes();
    ui->setupUi(this);
    connect(ui->actionSair, &QAction::triggered, this, &QWidget::close);
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::on_actionOpcoes_triggered()
{
}

void MainWindow::on_actionSobre_triggered()
{
}
