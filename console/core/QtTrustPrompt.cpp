#include "console/core/QtTrustPrompt.h"

#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "console/core/ConsoleIcons.h"
#include "console/core/ConsoleTexts.h"
#include "console/core/QtMessageSink.h"

namespace warden::console {

namespace {

QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QLabel* Text(QDialog& dialog, const QString& text) {
    auto* label = new QLabel(text, &dialog);
    label->setWordWrap(true);
    return label;
}

// 32 pairs do not fit one line of a dialog: two lines of 16, in a fixed-width
// font so that the columns line up for comparing, and selectable.
QLabel* Fingerprint(QDialog& dialog, std::string_view fingerprint, const char* name) {
    QString text = Q(fingerprint);
    if (text.size() > 48) text.insert(48, '\n');
    auto* label = new QLabel(text, &dialog);
    label->setObjectName(name);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setContentsMargins(16, 2, 0, 6);
    return label;
}

QHBoxLayout* WithIcon(QDialog& dialog, QStyle::StandardPixmap icon, QVBoxLayout* body) {
    auto* row = new QHBoxLayout;
    auto* picture = new QLabel(&dialog);
    picture->setPixmap(dialog.style()->standardIcon(icon).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);
    row->addSpacing(8);
    row->addLayout(body, 1);
    return row;
}

}  // namespace

int QtTrustPrompt::Run(QDialog& dialog) {
    dialog.setWindowIcon(ProgramIcon());
    dialog.setMinimumWidth(560);
    if (m_shown) QTimer::singleShot(0, &dialog, [this, &dialog] { m_shown(dialog); });
    return dialog.exec();
}

bool QtTrustPrompt::AskFirstUse(std::string_view server, std::string_view fingerprint) {
    QDialog dialog(MessageOwner());
    dialog.setObjectName("trustQuestion");
    dialog.setWindowTitle(Q(text::kTrustTitle));
    auto* body = new QVBoxLayout;
    body->addWidget(Text(dialog, Q(text::kTrustFirstUse) + Q(server) + "."));
    body->addWidget(Text(dialog, Q(text::kTrustFingerprintLabel)));
    body->addWidget(Fingerprint(dialog, fingerprint, "fingerprint"));
    body->addWidget(Text(dialog, Q(text::kTrustCompare)));
    body->addSpacing(6);
    body->addWidget(Text(dialog, Q(text::kTrustQuestion)));

    auto* trust = new QPushButton(Q(text::kTrustAccept), &dialog);
    trust->setObjectName("trustButton");
    auto* cancel = new QPushButton(Q(text::kCancelButton), &dialog);
    cancel->setObjectName("cancelButton");
    // Enter alone must not trust a server: the safe answer is the default.
    cancel->setDefault(true);
    trust->setAutoDefault(false);
    QObject::connect(trust, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(trust);
    buttons->addWidget(cancel);

    auto* outer = new QVBoxLayout(&dialog);
    outer->addLayout(WithIcon(dialog, QStyle::SP_MessageBoxQuestion, body));
    outer->addLayout(buttons);
    return Run(dialog) == QDialog::Accepted;
}

void QtTrustPrompt::ShowChanged(std::string_view server, std::string_view trusted,
                                std::string_view presented, bool caSigned) {
    QDialog dialog(MessageOwner());
    dialog.setObjectName("certificateChanged");
    dialog.setWindowTitle(Q(text::kChangedTitle));
    auto* body = new QVBoxLayout;
    auto* warning = Text(dialog, Q(text::kChangedWarning1) + Q(server) + Q(text::kChangedWarning2));
    warning->setObjectName("changedWarning");
    warning->setStyleSheet("color: #c00000; font-weight: bold;");
    body->addWidget(warning);
    body->addSpacing(4);
    body->addWidget(Text(dialog, Q(text::kChangedTrusted)));
    body->addWidget(Fingerprint(dialog, trusted, "trustedFingerprint"));
    body->addWidget(Text(dialog, Q(text::kChangedPresented)));
    QLabel* now = Fingerprint(dialog, presented, "presentedFingerprint");
    now->setStyleSheet("color: #c00000;");
    body->addWidget(now);
    if (caSigned) body->addWidget(Text(dialog, Q(text::kChangedCaSigned)));
    body->addWidget(Text(dialog, Q(text::kChangedExplain)));

    auto* close = new QPushButton(Q(text::kCloseButton), &dialog);
    close->setObjectName("closeButton");
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);

    auto* outer = new QVBoxLayout(&dialog);
    outer->addLayout(WithIcon(dialog, QStyle::SP_MessageBoxCritical, body));
    outer->addLayout(buttons);
    Run(dialog);
}

}  // namespace warden::console
