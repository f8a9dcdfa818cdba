#pragma once

// The program's frame: menus, an empty tool bar, the status bar and the
// report screen as central widget.

#include <QMainWindow>

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void on_actionOpcoes_triggered();
    void on_actionSobre_triggered();

private:
    Ui::MainWindow *ui;
};
