#include "console/core/FieldWidgets.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QValidator>

namespace warden::console {

namespace {

// Characters as code points: a character outside the basic plane is one
// character, not two.
size_t CodePoints(const QString& text) {
    size_t count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate()) ++count;
    }
    return count;
}

class LengthValidator final : public QValidator {
  public:
    LengthValidator(size_t maxChars, QObject* parent) : QValidator(parent), m_max(maxChars) {}
    State validate(QString& input, int& /*pos*/) const override {
        return CodePoints(input) <= m_max ? Acceptable : Invalid;
    }

  private:
    size_t m_max;
};

template <typename Box>
void SetReadOnlyLook(Box* box, bool readOnly) {
    box->setReadOnly(readOnly);
    // Start from the application's palette for the box, so that going back
    // to editable restores the usual background.
    QPalette palette = QApplication::palette(box);
    if (readOnly) {
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Window));
        }
    }
    box->setPalette(palette);
}

}  // namespace

void LimitLength(QLineEdit* box, size_t maxChars) {
    box->setValidator(new LengthValidator(maxChars, box));
}

void LimitLength(QPlainTextEdit* box, size_t maxChars) {
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box, maxChars] {
        const QString text = box->toPlainText();
        if (CodePoints(text) <= maxChars) return;
        QString kept;
        size_t count = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (!text.at(i).isLowSurrogate() && ++count > maxChars) break;
            kept.append(text.at(i));
        }
        QSignalBlocker blocker(box);
        box->setPlainText(kept);
        box->moveCursor(QTextCursor::End);
    });
}

void SetReadOnly(QLineEdit* box, bool readOnly) {
    SetReadOnlyLook(box, readOnly);
}

void SetReadOnly(QPlainTextEdit* box, bool readOnly) {
    SetReadOnlyLook(box, readOnly);
}

}  // namespace warden::console
