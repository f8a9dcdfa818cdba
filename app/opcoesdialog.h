#pragma once

// Edits the database address and port, the report directory and the
// report's format.

#include <QDialog>

namespace Ui {
class OpcoesDialog;
}

class OpcoesDialog : public QDialog
{
    Q_OBJECT

public:
    // Reloads the stored settings and shows them.
    explicit OpcoesDialog(QWidget *parent = nullptr);
    ~OpcoesDialog() override;

public slots:
    // Copies the fields into the settings and stores them, as typed;
    // false when the store did not take them (the values still apply).
    bool salvar();

private slots:
    void on_btnAlterarDir_clicked();

private:
    Ui::OpcoesDialog *ui;
};
