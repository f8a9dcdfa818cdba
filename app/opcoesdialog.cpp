#include "app/opcoesdialog.h"

#include "config/configuracoes.h"
#include "ui_opcoesdialog.h"

#include <QFileDialog>

#include <algorithm>

OpcoesDialog::OpcoesDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::OpcoesDialog)
{
    carregarConfiguracoes();
    ui->setupUi(this);
    ui->txtAddress->setText(enderecoBanco);
    ui->txtPort->setText(portaBanco);
    ui->txtDir->setText(diretorioRelatorio);
    // The stored value picks the entry; an unknown one shows the default.
    ui->cmbFormato->setItemData(0, QStringLiteral("xls"));
    ui->cmbFormato->setItemData(1, QStringLiteral("xlsx"));
    ui->cmbFormato->setCurrentIndex(std::max(0, ui->cmbFormato->findData(formatoRelatorio)));
}

OpcoesDialog::~OpcoesDialog()
{
    delete ui;
}

bool OpcoesDialog::salvar()
{
    definirConfiguracoes(ui->txtAddress->text(), ui->txtPort->text(), ui->txtDir->text());
    formatoRelatorio = ui->cmbFormato->currentData().toString();
    return salvarConfiguracoes();
}

void OpcoesDialog::on_btnAlterarDir_clicked()
{
    QFileDialog dialogo(this, QStringLiteral("a"), ui->txtDir->text(), QString());
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    dialogo.setFileMode(QFileDialog::DirectoryOnly);
    QT_WARNING_POP
    dialogo.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialogo.exec() == QDialog::Accepted)
        ui->txtDir->setText(dialogo.selectedFiles().value(0));
}
