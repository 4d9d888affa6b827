#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <array>

namespace dravel {

// A status bar with four sunken panels: the first three carry texts the
// program sets, the fourth is a clock (hours:minutes) that keeps itself up to
// date without any help from the window. Its size hint is wide enough for
// every panel's widest text.
class Statusleiste final : public QStatusBar {
public:
    explicit Statusleiste(QWidget* parent = nullptr);

    // Panels are numbered 1 to 4, as the user sees them.
    [[nodiscard]] QLabel* panel(int nummer) const { return panels_.at(nummer - 1); }
    void setzeText(int nummer, const QString& text) { panel(nummer)->setText(text); }
    [[nodiscard]] QString text(int nummer) const { return panel(nummer)->text(); }
    // Widens a text panel beyond its usual width where the font needs it for
    // any of these texts, so that none of them is clipped.
    void passeAn(int nummer, const QStringList& texte);
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* objekt, QEvent* event) override;

private:
    void stelleUhr();
    void ordne();
    // Width panel `index` (0..3) needs for the widest of its texts.
    [[nodiscard]] int bedarf(int index) const;
    // Its usual width, or more where its texts need it; with the separator.
    [[nodiscard]] int breiteVon(int index) const;

    std::array<QLabel*, 4> panels_{};
    std::array<QStringList, 4> mustertexte_;
    QTimer uhr_;
};

}  // namespace dravel
