#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "logik/aufnahme.h"

// Protocol decoders over a capture, run by sigrok's decoder library: the same
// decoders (Python, by that library's design) PulseView and sigrok-cli run,
// plus Dravel's own from its decoder folder. The library starts and owns the
// Python interpreter: it is started once per process on first use, ended at
// exit, and every call into it is made under one lock.
namespace dravel::dekoder {

using analysator::Aufnahme;
using analysator::Leitung;
using analysator::Lücke;
using analysator::Pegel;

// What a decoder declares, for a list to choose from and for messages.
struct Kanal {
    std::string id;  // "rx"
    std::string name;
    std::string beschreibung;
    bool pflicht = false;
};

struct Option {
    enum class Typ : std::uint8_t { Ganzzahl, Kommazahl, Text };
    std::string id;  // "baudrate"
    std::string beschreibung;
    Typ typ = Typ::Text;
    std::string vorgabe;             // the default as text: "115200"
    std::vector<std::string> werte;  // the values allowed, empty when any
};

struct Zeile {
    std::string id;  // "rx-data"
    std::string beschreibung;
    std::vector<int> klassen;  // indices into Beschreibung::klassen
};

struct Beschreibung {
    std::string id;  // "uart"
    std::string name;
    std::string langname;
    std::string beschreibung;
    std::vector<std::string> eingaben;  // "logic", or what a decoder below gives ("uart")
    std::vector<std::string> ausgaben;
    std::vector<Kanal> kanäle;  // required first, as declared
    std::vector<Option> optionen;
    std::vector<std::pair<std::string, std::string>> klassen;  // id, description
    std::vector<Zeile> zeilen;
};

// Every decoder the library finds, sorted by id; empty and a German line in
// `fehler` when the library cannot start.
std::vector<Beschreibung> alleDekoder(std::string& fehler);
// One decoder by id; nullopt and a German line when it is unknown.
std::optional<Beschreibung> dekoder(const std::string& id, std::string& fehler);

// One decoder as the user names it: "uart:rx=10:baudrate=9600" (channels and
// options alike as key=value; which is which the decoder says).
struct Angabe {
    std::string id;
    std::vector<std::pair<std::string, std::string>> werte;
};
// Decoders stacked, the one reading the lines first: "uart:rx=10,midi".
using Stapel = std::vector<Angabe>;
// The syntax only; the decoders are checked by Dekodierung::bereite.
std::optional<Stapel> leseStapel(const std::string& text, std::string& fehler);

// Which annotations to show, as sigrok-cli's -A: "uart=rx-data:tx-data,i2c"
// for decoders of `stapel` (a decoder alone: all of its annotations; a name
// is an annotation class, else a row and stands for its classes). nullopt
// and a German line naming what there is for a name that is neither.
struct Filter {
    std::vector<std::pair<std::string, std::vector<std::string>>> klassen;  // decoder, classes
    [[nodiscard]] bool zeigt(const std::string& dekoder, const std::string& klasse) const;
};
std::optional<Filter> leseFilter(const std::string& text, const std::vector<Stapel>& stapel,
                                 std::string& fehler);

struct Annotation {
    std::uint64_t anfangNs = 0;  // on the capture's clock
    std::uint64_t endeNs = 0;
    std::string dekoder;             // "uart"
    std::string name;                // "uart", "uart-2" where the session runs it twice
    std::string zeile;               // the annotation row's id ("rx-data"), else the class's
    std::string klasse;              // "rx-data"
    std::vector<std::string> texte;  // longest first
    bool überLücke = false;          // rests on levels not seen: a gap, or x/z
    int instanz = 0;                 // which decoder of the session, counted through the stacks
};

// The sample rate for a capture when the user names none: its time
// resolution, but no more than 32 samples in the shortest interval between
// changes of `leitungen` (those decoded); without a resolution 8 samples in
// that interval; between 1 kHz and 1 GHz.
std::uint64_t abtastrateFür(const Aufnahme& aufnahme, Pegel leitungen = ~Pegel{0});

// The pin a line is, by its name: "10 /Ack" in a capture and in a capture's
// file loaded, "Pin10_nAck" as the file writes it; 0 for another name.
int pinVon(std::string_view name);

// Which line of the capture a channel value names: the pin number where the
// lines are pins ("10", also in a Dravel capture loaded from its file),
// else the line's name or its index in the file. -1 when none.
int leitungFür(const Aufnahme& aufnahme, const std::string& wert);

// Decodes one capture with some stacks of decoders in a worker thread. The
// capture's changes go to the decoders as samples at a fixed rate, a block
// at a time, so a long capture never becomes one huge buffer. The library
// has no way to tell a running decoder of a gap, and a new session at each
// gap would lose the frame that runs into it without a word: a gap is fed as
// the levels held before it, and every annotation that overlaps one is
// marked überLücke. Lines of unknown level (a file's x or z) keep the level
// before, as the loader reads them, and mark what overlaps them as a gap
// does.
class Dekodierung {
public:
    // Checks the stacks against the decoders and the capture's lines; nullptr
    // and one German line naming the fault and what would be right.
    // `abtastrateHz` 0: abtastrateFür(aufnahme).
    static std::unique_ptr<Dekodierung> bereite(std::shared_ptr<const Aufnahme> aufnahme,
                                                std::vector<Stapel> stapel,
                                                std::uint64_t abtastrateHz, std::string& fehler);
    Dekodierung(const Dekodierung&) = delete;
    Dekodierung& operator=(const Dekodierung&) = delete;
    ~Dekodierung();  // stops and waits for the worker

    void starte();
    void brichAb() { abbruch_.store(true, std::memory_order_relaxed); }
    // Waits for the worker; false when it failed (fehler() says why) or was
    // stopped.
    bool warte();
    [[nodiscard]] bool fertig() const { return fertig_.load(std::memory_order_acquire); }
    // 0..1, for a progress bar.
    [[nodiscard]] double fortschritt() const {
        return fortschritt_.load(std::memory_order_relaxed);
    }
    // Any thread: the annotations found since the last call, in the order
    // the decoders gave them.
    std::vector<Annotation> abholen();
    [[nodiscard]] std::string fehler() const;
    [[nodiscard]] std::uint64_t abtastrate() const { return rateHz_; }

    struct Instanz;  // one decoder of a stack, resolved

private:
    Dekodierung() = default;
    void lauf();
    void nimm(Annotation annotation);

    std::shared_ptr<const Aufnahme> aufnahme_;
    std::vector<std::vector<Instanz>> stapel_;
    std::vector<int> bits_;  // sample bit k = the capture's line bits_[k]
    std::uint64_t rateHz_ = 0;
    std::uint64_t anfangNs_ = 0;
    std::uint64_t endeNs_ = 0;
    std::size_t änderungen_ = 0;
    std::vector<Lücke> lücken_;

    std::thread faden_;
    std::atomic<bool> abbruch_{false};
    std::atomic<bool> fertig_{false};
    std::atomic<double> fortschritt_{0.0};
    mutable std::mutex mutex_;
    std::vector<Annotation> neu_;
    std::string fehler_;
    bool erfolg_ = false;

    friend void annotationAngekommen(void* pdata, void* selbst);
};

// Where Dravel's own decoders are looked for: $DRAVEL_DEKODER_ORDNER, else
// share/dravel/decoders beside the program's folder (installed, and in the
// build folder), else the installed folder.
std::string eigenerOrdner();

}  // namespace dravel::dekoder
