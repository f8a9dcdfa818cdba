#pragma once

// Fixed facts of the machine and of this program, the same for the window,
// relatorio-cli and every tool: the database account on the machine, the
// number of classes it sorts into, and the names that locate the settings.

#include <memory>
#include <string>

class DatabaseConnection;

// Classes A to E.
constexpr int kNumeroClasses = 5;

// A connection, not yet opened, to the machine's database at a numeric IP
// address and port.
std::unique_ptr<DatabaseConnection> conexaoComAMaquina(const std::string &endereco,
                                                       const std::string &porta);

// Sets the organisation and application names, which locate the settings
// store. Call before the application object is created.
void definirIdentidadeDoPrograma();
