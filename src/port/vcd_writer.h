#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "careful_file.h"
#include "trace_buffer.h"

namespace dravel::port {

// Names of a register in the trace: the scope that holds its signals and the
// letter of its lines ("daten_0x378" with D0..D7, "status_0x379" with S0..S7,
// "steuer_0x37A" with C0..C7; any other address "port_0x1234" with P0..P7).
// `basen` are the parallel port base addresses to recognise, first match
// wins.
struct Registername {
    std::string bereich;
    char buchstabe;
    std::string titel;  // as the main window names it: "Daten 0x378", "Control 0x37A"
};
Registername registername(std::uint16_t port, const std::vector<std::uint16_t>& basen);

// The standard parallel port bases (LPT1 0x378, LPT2 0x278, the old
// monochrome-card port 0x3BC).
std::vector<std::uint16_t> standardbasen();

// The name of one line in the trace, unique in the whole file ("D3_geschrieben_0x378",
// "S7_gelesen_0x379"): sigrok and PulseView ignore scopes.
std::string signalname(const Registername& name, bool gelesen, int bit);

// The zoom of a GTKWave save file that shows `dauer` nanoseconds whole in
// the window the file asks for.
double gtkwaveZoom(std::uint64_t dauer);
inline constexpr int kGtkwaveBreite = 1200;
inline constexpr int kGtkwaveNamenbreite = 260;

// Where the GTKWave save file of a trace goes: "x.vcd" -> "x.gtkw", any
// other name gets ".gtkw" appended.
std::string gtkwaveSicherungspfad(const std::string& vcdPfad);

// Writes port accesses as a Value Change Dump (IEEE 1364) with a 1 ns time
// scale. Each register touched gets eight one-bit wires, in the scope
// "geschrieben" for written values and in "gelesen" for read values,
// declared when the register is first seen in that direction. Single bits
// only, so that sigrok's importer (which takes no vectors) reads the whole
// file; next to a trace file a GTKWave save file groups each register's
// lines back into a hexadecimal byte named like "Daten 0x378 geschrieben"
// and opens showing the whole recording. Only changes are written, as the
// format asks.
//
// Signals become known during the session while the format wants every
// declaration before the first change, so the file starts with a header
// area of fixed size, padded with blanks; a new declaration rewrites that
// area in place before any change that uses it reaches the file. The file
// is thus a valid dump whenever the buffered text has been written out.
//
// Not thread-safe: one thread (the trace's writer) owns an instance.
class VcdWriter {
public:
    struct Kopf {
        std::string version;  // "Dravel 1.6.0"
        std::string backend;  // the port backend's name
        std::string datum;    // the local date and time at start
        // Lines of the header comment after the backend's; empty: the
        // trace's (its clock and the sigrok import setting).
        std::vector<std::string> kommentar;
    };

    static constexpr std::size_t kStandardKopfbereich = 64 * 1024;

    // Creates (or empties) the file and writes the header area at once, so
    // that a missing folder, a refused permission or a full disk shows here.
    // Opened as a SorgfältigeDatei; the lock is kept until the file is
    // closed. On failure returns nullptr and a German reason in `fehler`; a
    // file created here is removed again (an existing one is left empty).
    static std::unique_ptr<VcdWriter> erzeuge(const std::string& pfad, Kopf kopf,
                                              std::vector<std::uint16_t> basen, std::string& fehler,
                                              std::size_t kopfbereich = kStandardKopfbereich);
    // The same with a file opened (and checked) before.
    static std::unique_ptr<VcdWriter> erzeuge(std::unique_ptr<SorgfältigeDatei> datei, Kopf kopf,
                                              std::vector<std::uint16_t> basen, std::string& fehler,
                                              std::size_t kopfbereich = kStandardKopfbereich);
    ~VcdWriter();

    VcdWriter(const VcdWriter&) = delete;
    VcdWriter& operator=(const VcdWriter&) = delete;

    // Changes the backend named in the header (rewritten at the next write).
    void nenneBackend(const std::string& backend);
    // Replaces the header comment's lines after the backend's (likewise).
    void setzeKommentar(std::vector<std::string> zeilen);

    // Formats one access; writes to the file in large blocks only.
    void formatiere(const TraceEvent& ereignis);

    // Instead of register accesses, up to 64 named one-bit lines (a logic
    // analyzer's capture) in the scope `bereich`, each bit i of a value
    // one line. Declared once, before the first change; a writer holds
    // either these or register accesses.
    void deklariereLeitungen(const std::string& bereich, std::vector<std::string> namen);
    // The lines' levels from `zeit` on; only the lines that changed are
    // written.
    void formatiereLeitungen(std::uint64_t zeit, std::uint64_t pegel);

    // Writes the header (if it changed) and every formatted change. False
    // once a write has failed; the file then keeps every time step that
    // reached it whole and ends with the time up to which its levels hold,
    // nothing more is written and `fehler()` holds the first reason.
    bool schreibeAus();

    // Marks the end of the recording at `zeit`, writes everything out and
    // closes the file. False if anything failed on the way.
    bool schließe(std::uint64_t zeit);

    [[nodiscard]] const std::string& fehler() const { return fehler_; }
    [[nodiscard]] const std::string& pfad() const { return pfad_; }
    // Registers left out because the header area was full.
    [[nodiscard]] std::size_t ausgelasseneRegister() const { return ausgelassen_; }
    [[nodiscard]] std::size_t kopfbereich() const { return kopfbereich_; }
    // True when an existing file was emptied to take the recording.
    [[nodiscard]] bool ersetzt() const { return ersetzt_; }
    // Why the GTKWave save file is left out (it is, from then on); empty
    // while it is written. The trace goes on without it.
    [[nodiscard]] const std::string& sicherungsfehler() const { return sicherungsfehler_; }
    [[nodiscard]] const std::string& sicherungspfad() const { return sicherungspfad_; }
    // The line that says the save file is left out and why ("GTKWave-Datei
    // „x.gtkw“ wird nicht geschrieben: …."); empty while it is written.
    [[nodiscard]] std::string sicherungsmeldung() const;

private:
    struct Signal {
        bool gelesen;
        std::uint16_t port;
        std::size_t erstesKennzeichen;  // line 0; lines 1 to 7 follow
        int letzterWert = -1;           // -1: not yet in the file
    };

    VcdWriter(std::unique_ptr<SorgfältigeDatei> datei, Kopf kopf, std::vector<std::uint16_t> basen,
              std::size_t kopfbereich);

    static std::string kennzeichen(std::size_t nummer);
    static std::vector<const Signal*> geordnet(const std::vector<Signal>& signale, bool gelesen);
    [[nodiscard]] std::string kopftext(const std::vector<Signal>& signale) const;
    [[nodiscard]] std::string gtkwaveText() const;
    void schreibeGtkwaveSicherung();
    void hängeKennzeichenAn(std::size_t nummer);
    void zeitzeile(std::uint64_t zeit);
    bool schreibeAlles(const char* daten, std::size_t länge, long long position);
    void endeNachFehler();
    void räumeAngefangenesWeg();
    int signalFür(const TraceEvent& ereignis);

    std::unique_ptr<SorgfältigeDatei> datei_;
    int fd_;  // datei_'s while it is open, else -1
    std::string pfad_;
    Kopf kopf_;
    std::vector<std::uint16_t> basen_;
    std::size_t kopfbereich_;
    long long ende_;  // where the next changes go
    std::vector<Signal> signale_;
    std::vector<int> index_;  // [gelesen * 65536 + port] -> signal, -1 unknown, -2 left out
    std::string leitungsbereich_;
    std::vector<std::string> leitungen_;  // named lines instead of registers
    std::uint64_t leitungspegel_ = 0;
    bool leitungenImText_ = false;                     // their first levels are written
    std::string text_;                                 // formatted changes not yet in the file
    std::size_t zeitzeileImText_ = std::string::npos;  // where text_'s last time stamp starts
    long long zeitzeileEnde_ = 0;  // the end of the file's last time stamp line, 0 none yet
    std::size_t angekommen_ = 0;   // bytes the last schreibeAlles got into the file
    std::uint64_t letzteZeit_ = 0;
    bool zeitGeschrieben_ = false;
    bool kopfGeändert_ = false;
    std::size_t ausgelassen_ = 0;
    std::string fehler_;
    bool ersetzt_ = false;
    std::string sicherungspfad_;  // the GTKWave save file
    std::string sicherungsfehler_;
    bool sicherungAngelegt_ = false;  // the save file was created by this writer
};

// Now, as the $date line of a file says it: "2026-12-07 19:23:31 +0000".
std::string ortszeitText();

}  // namespace dravel::port
