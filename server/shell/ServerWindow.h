// The server's small window: the three connection settings, Start and Exit.
// It lives mostly in the tray: closing or minimising only hides it, and the
// program ends only through Exit (or Escape) after a confirmation. A thin view:
// the Start button asks the owner to run start-up, which answers through the
// StartupView calls.
#pragma once

#include <QDialog>
#include <functional>

#include "server/shell/StartupView.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSystemTrayIcon;
class QMenu;

namespace warden {

class ServerWindow : public QDialog, public StartupView {
    Q_OBJECT
  public:
    explicit ServerWindow(QWidget* parent = nullptr);

    void SetSettings(const StartSettings& settings);
    StartSettings Settings() const;

    // StartupView
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    void ShowRequestError(const std::string& text, const std::string& detail) override;
    void FocusField(SettingField field) override;
    void SetStartEnabled(bool enabled) override;
    void ShowFingerprint(const std::string& fingerprint) override;

    // Test hooks instead of real modal boxes: the confirmation answers true
    // for OK; the message hook receives every message shown.
    std::function<bool(const QString& question)> confirm;
    std::function<void(const QString& text, const QString& caption)> messageShown;

    static QIcon ProgramIcon();

  signals:
    void startRequested();
    void exitConfirmed();

  public slots:
    void ShowFromTray();
    void AskToExit();
    void ShowAbout();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void accept() override {}  // no OK button: Enter only presses Start
    void reject() override { AskToExit(); }

  private:
    void HideToTray();

    QLineEdit* m_imAddress;
    QLineEdit* m_imPort;
    QLineEdit* m_listenPort;
    QLabel* m_fingerprint;
    QPushButton* m_start;
    QPushButton* m_exit;
    // While a request error's box is open, later ones are only counted and
    // summed up in one box after it: a burst must not stack boxes.
    bool m_errorShowing = false;
    int m_errorsWhileShowing = 0;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
};

}  // namespace warden
