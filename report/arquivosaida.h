#pragma once

// The report file, whole or absent. Its bytes go into a new temporary file
// beside the final name (".<name>.<random>.parcial", never taken for a
// report), which replaces the final name's directory entry only when the
// report is confirmed; otherwise it is removed, and whatever the final name
// held before is left untouched. A link at the final name is replaced, never
// followed. The one place that knows each platform's file calls.

#include <string>

class ArquivoSaida
{
public:
    ArquivoSaida() = default;
    // Discards the temporary file unless it was confirmed.
    ~ArquivoSaida();

    ArquivoSaida(const ArquivoSaida &) = delete;
    ArquivoSaida &operator=(const ArquivoSaida &) = delete;

    // Creates the temporary file for `caminhoFinal` (UTF-8), exclusively and
    // open for writing. False when the directory does not take it.
    bool criar(const std::string &caminhoFinal);
    // The temporary file's path (UTF-8), for writers that write it by name.
    const std::string &caminhoTemporario() const { return temporario; }

    // Appends `bytes`; false (and remembered) on a failed write.
    bool gravar(const std::string &bytes);
    // Closes our handle on the temporary file; writes after it fail.
    void fechar();
    // Syncs the temporary file to disk and renames it over the final name.
    // False, with the temporary file removed, when any step failed.
    bool confirmar();
    // Removes the temporary file; idempotent.
    void descartar();

    bool semErros() const { return !falhou; }

private:
    std::string final;
    std::string temporario;
    int descritor = -1;
    bool falhou = false;
};
