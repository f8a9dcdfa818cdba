#pragma once

// The four settings kept between runs, as process-wide values. They hold
// their defaults from start-up until carregarConfiguracoes() replaces them.

#include <QString>

extern QString enderecoBanco;      // "BD_ADDR"
extern QString portaBanco;         // "5432"
extern QString diretorioRelatorio; // "DIRETORIO"
extern QString senhaConfig;        // "SENHA"

// Copies the four values from the per-user settings store; writes nothing.
void carregarConfiguracoes();
// Writes the four values to the store and flushes it.
void salvarConfiguracoes();
// Replaces the address, port and directory for this run; writes nothing.
void definirConfiguracoes(const QString &endereco, const QString &porta, const QString &diretorio);

// Defaults used where a key is absent.
QString enderecoBancoPadrao();
QString portaBancoPadrao();
QString diretorioRelatorioPadrao();
QString senhaConfigPadrao();
