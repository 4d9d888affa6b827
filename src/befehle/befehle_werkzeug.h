#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <stdexcept>

// How the commands read their arguments, shared by every command.
namespace dravel::app {

// A refused command line: one German line for standard error (exit 2).
class Ablehnung : public std::runtime_error {
public:
    explicit Ablehnung(const QString& zeile) : std::runtime_error(zeile.toStdString()) {}
};

// A port address; `was` names the argument in the message ("--adresse").
std::uint16_t adresseAus(const QString& text, const QString& was);
std::uint8_t byteAus(const QString& text);
// A whole-number option in kleinste..größte, `vorgabe` when not given.
std::uint64_t ganzzahlOption(const QCommandLineParser& parser, const QString& name,
                             std::uint64_t kleinste, std::uint64_t größte, std::uint64_t vorgabe);
// A duration option; `einheit` names it in the message ("Millisekunden").
std::optional<double> dauerOption(const QCommandLineParser& parser, const QString& name,
                                  const QString& einheit);
// Refuses too few arguments with `fehlt`, and the first one too many.
void prüfeAnzahl(const QStringList& argumente, qsizetype kleinste, qsizetype größte,
                 const QString& fehlt);
QCommandLineOption option(const char* name, const char* text, const char* wert = nullptr);

}  // namespace dravel::app
