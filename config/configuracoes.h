#pragma once

// The settings kept between runs, as process-wide values. They hold their
// defaults from start-up until carregarConfiguracoes() replaces them.

#include <QString>

extern QString enderecoBanco;      // "BD_ADDR"
extern QString portaBanco;         // "5432"
extern QString diretorioRelatorio; // "DIRETORIO"
extern QString senhaConfig;        // "SENHA"
extern QString formatoRelatorio;   // "FORMATO": "xls" (text) or "xlsx" (workbook)

// Copies the values from the per-user settings store; writes nothing.
// False when the store exists but cannot be read: the values are then the
// defaults.
bool carregarConfiguracoes();
// Writes the values to the store and flushes it; false when the store
// did not take them.
bool salvarConfiguracoes();
// Where the store keeps the settings, for messages.
QString arquivoDeConfiguracoes();
// Replaces the address, port and directory for this run; writes nothing.
void definirConfiguracoes(const QString &endereco, const QString &porta, const QString &diretorio);

// Defaults used where a key is absent.
QString enderecoBancoPadrao();
QString portaBancoPadrao();
QString diretorioRelatorioPadrao();
QString senhaConfigPadrao();
QString formatoRelatorioPadrao();
