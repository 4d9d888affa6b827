#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "logik/annotationen.h"
#include "logik/aufnahme.h"
#include "logik/spalten.h"

namespace dravel {

// The timing diagram of a recording: one row per line or bus, labelled on
// the left, a time axis on top (0 at the recording's trigger), the levels
// as lines, a bus's value in boxes. Where a line changes more than once in
// one pixel column the columns are drawn as a filled band; stretches the
// capture did not see are a hatched band across every row, at least one
// column wide; lines of unknown level a band of their own colour. The
// columns come from analysator::Spalten, so even ten million changes draw
// fast.
//
// Wheel and +/- zoom, dragging and the scroll bar pan, Pos1 shows all; the
// wheel over the labels scrolls the rows when they do not fit. Cursor A
// goes where the left button clicks (or is dragged), cursor B where the
// right button (or Shift with the left) does. A click on a bus's label
// splits it into its bits, on one of its bits joins them again. Pointing
// at a line tells its pulse there, at a gap how long it was.
//
// Rows of decoded annotations may follow the lines: boxes as wide as the
// annotations with the longest text that fits, a band where many share
// columns.
//
// No Q_OBJECT; the window learns of changes through `beiÄnderung`.
class Zeitdiagramm final : public QAbstractScrollArea {
public:
    explicit Zeitdiagramm(QWidget* parent = nullptr);
    ~Zeitdiagramm() override;

    // Shows a recording (nullptr: none), the whole of it.
    void zeige(std::shared_ptr<const analysator::Aufnahme> aufnahme);
    [[nodiscard]] const analysator::Aufnahme* aufnahme() const { return aufnahme_.get(); }
    [[nodiscard]] std::shared_ptr<const analysator::Aufnahme> aufnahmeGeteilt() const {
        return aufnahme_;
    }

    // The range the recording covers: its first change to how far it looked.
    [[nodiscard]] double anfangNs() const;
    [[nodiscard]] double endeNs() const;

    // The time range on screen, in the recording's clock.
    void setzeSicht(double anfangNs, double spanneNs);
    [[nodiscard]] double sichtAnfang() const { return sichtAnfang_; }
    [[nodiscard]] double sichtSpanne() const { return sichtSpanne_; }
    void allesZeigen();
    // Zooms by `faktor` (> 1 shows more detail) keeping time `umNs` in place.
    void zoome(double faktor, double umNs);
    void zoome(double faktor) { zoome(faktor, sichtAnfang_ + sichtSpanne_ / 2); }

    // While a recording grows: take in what it has published and, when the
    // view follows it, keep its end in sight: the view keeps its width and
    // starts at the beginning until the recording outgrows it.
    void rolle();
    bool folgt = false;

    std::optional<double> cursorA;
    std::optional<double> cursorB;
    void setzeCursor(bool b, std::optional<double> ns);
    // The time under x, moved onto a change within a few pixels, so that
    // cursors placed by hand measure edges exactly.
    [[nodiscard]] double fangeKante(double x) const;

    // Shows bus `bus` (an index into the recording's busse) as its bit rows,
    // or as one row again.
    void teileBus(int bus, bool aufteilen);
    [[nodiscard]] int zeilenzahl() const { return int(zeilen_.size()); }
    // What pointing at `p` in the viewport tells (empty: nothing).
    [[nodiscard]] QString hinweisBei(QPoint p) const;

    // Rows under the lines, each one row of annotations of a decoding.
    struct Zusatzzeile {
        QString name;
        std::shared_ptr<const dekoder::Annotationsliste> liste;
        std::uint32_t reihe = 0;
        QColor farbe;
    };
    void setzeZusatzzeilen(std::vector<Zusatzzeile> zeilen);
    // Centres the view on [anfangNs, endeNs], zoomed out where it is wider.
    void zeigeBereich(double anfangNs, double endeNs);

    std::function<void()> beiÄnderung;  // view, cursors or recording changed

    // Geometry, for the window and for checks: the plot area in the viewport,
    // the row band of line row `zeile`, and the mapping between time and x.
    [[nodiscard]] QRect plotfläche() const;
    [[nodiscard]] QRect zeilenband(int zeile) const;
    [[nodiscard]] double xVon(double ns) const;
    [[nodiscard]] double nsBei(double x) const;

    // Colours of the instrument.
    static QColor hintergrund() { return QColor(0x12, 0x16, 0x1B); }
    static QColor signalfarbe() { return QColor(0x4C, 0xE0, 0x80); }
    static QColor lückenfarbe() { return QColor(0x9A, 0xA0, 0xAA); }
    static QColor unbekanntfarbe() { return QColor(0xE8, 0x5A, 0x5A); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    void zeichneAchse(QPainter& maler, const QRect& fläche) const;
    void zeichneZeilen(QPainter& maler, const QRect& fläche);
    void zeichneLücken(QPainter& maler, const QRect& fläche,
                       const std::vector<analysator::Spalte>& spalten, bool beschriften) const;
    void zeichneLeitung(QPainter& maler, const QRect& band, int bit,
                        const std::vector<analysator::Spalte>& spalten) const;
    void zeichneBus(QPainter& maler, const QRect& band, const analysator::Bus& bus,
                    const std::vector<analysator::Spalte>& spalten) const;
    void zeichneAnnotationen(QPainter& maler, const QRect& band, const Zusatzzeile& zusatz) const;
    void zeichneCursor(QPainter& maler, const QRect& fläche) const;
    [[nodiscard]] QString annotationBei(int zusatz, int spalte) const;
    void passeLeisteAn();
    void geändert();
    [[nodiscard]] int beschriftungsbreite() const;
    void messeNamen();  // the labels' room, once per recording
    [[nodiscard]] int achsenhöhe() const;
    [[nodiscard]] int zeilenhöhe() const;
    [[nodiscard]] int zeileBei(int y) const;  // -1 for none
    void ordneZeilen();
    // The bus a row stands for or belongs to as a bit; -1 for none.
    [[nodiscard]] int busVon(int zeile) const;

    // A row: a line of its own, a bus shown as one, or an annotation row
    // (the others are -1).
    struct Zeile {
        int leitung = -1;
        int bus = -1;
        int zusatz = -1;
    };
    std::vector<Zusatzzeile> zusatz_;

    std::shared_ptr<const analysator::Aufnahme> aufnahme_;
    analysator::Spalten spalten_;  // what has been taken in of the recording
    std::vector<Zeile> zeilen_;
    std::vector<bool> aufgeteilt_;  // per bus: shown as its bits
    int zeilenVersatz_ = 0;         // pixels of rows scrolled off the top
    int namenBreite_ = 0;           // the widest label and its margins
    double sichtAnfang_ = 0;
    double sichtSpanne_ = 1e6;
    double leisteEinheit_ = 1;  // ns per scroll bar step
    bool leisteSetzen_ = false;

    enum class Ziehen { Nichts, Schieben, CursorA, CursorB };
    Ziehen ziehen_ = Ziehen::Nichts;
    QPoint druckPunkt_;
    double druckAnfang_ = 0;
    bool bewegt_ = false;
};

}  // namespace dravel
