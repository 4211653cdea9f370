// The search box above the main window's user list and the list of users it
// finds, laid over the user list while it has something to show. Searches
// run a moment after typing stops; Enter (the first user, or the one
// selected with the arrow keys) or a double click chooses a user; Escape
// closes the list.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "console/core/UserSearchLogic.h"

class QLabel;
class QLineEdit;
class QTreeWidget;

namespace warden::console {

class UserSearchBox final : public QWidget {
    Q_OBJECT

  public:
    // How long typing must stop before the search runs.
    static constexpr int kDebounceMs = 250;

    // `results` is placed by the owner over the list (see PlaceResults).
    // REQUIRES: `transport` outlives the box.
    UserSearchBox(Transport& transport, QWidget* parent);

    // `chosen` gets the department to open and the account to select.
    void OnChosen(std::function<void(const std::string& dept, const std::string& account)> chosen) {
        m_chosen = std::move(chosen);
    }
    // Puts the box in front of the keyboard, its text selected (Ctrl+F).
    void Focus();
    // The area the list of users found may cover (the user list's).
    void PlaceResults(const QRect& area);
    // Runs the search for what the box holds now, without waiting.
    void SearchNow();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowHits();
    void Choose();

    UserSearchLogic m_logic;
    QLineEdit* m_box;
    QLabel* m_note;
    QTreeWidget* m_results;
    QTimer m_debounce;
    QRect m_area;
    std::function<void(const std::string&, const std::string&)> m_chosen;
};

}  // namespace warden::console
