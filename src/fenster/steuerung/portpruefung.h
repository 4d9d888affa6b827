#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace dravel {
namespace port {
class SystemCalls;
}

// The report of "dravel pruefen" in a dialog, with a button that copies it
// for a question in a forum or an issue.
class Portprüfung : public QDialog {
public:
    Portprüfung(port::SystemCalls& system, QWidget* parent = nullptr);

    QPlainTextEdit* Bericht = nullptr;
    QPushButton* Kopieren = nullptr;
};

}  // namespace dravel
