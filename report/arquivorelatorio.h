#pragma once

// The report file: bytes written line by line, each line ended with CR LF and
// flushed at once, and any write, flush or close error remembered.

#include <cstdio>
#include <string>

class ArquivoRelatorio
{
public:
    ArquivoRelatorio() = default;
    ~ArquivoRelatorio();

    ArquivoRelatorio(const ArquivoRelatorio &) = delete;
    ArquivoRelatorio &operator=(const ArquivoRelatorio &) = delete;

    // Creates or truncates the file at `caminho` (UTF-8, handed unchanged to
    // the narrow-character call). False when it cannot be opened.
    bool abrir(const std::string &caminho);
    bool aberto() const { return arquivo != nullptr; }

    // Writes `bytes` followed by CR LF, then flushes.
    void linha(const std::string &bytes);
    // Flushes and closes; false when this or any earlier write failed.
    bool fechar();

    // No write, flush or close has failed so far.
    bool semErros() const { return !falhou; }

private:
    std::FILE *arquivo = nullptr;
    bool falhou = false;
};

// A variety or employee name (UTF-8) as the file holds it: Windows-1252, a
// character outside it as "?", and tab, CR or LF as one blank so that a name
// can never shift a cell or split a row.
std::string nomeNoArquivo(const std::string &nome);
