#pragma once

#include <QPushButton>
#include <functional>

namespace corvina {

// The call and broadcast buttons. While `ready` says an action may start now
// and the button is enabled, it is drawn green (lighter when not pushed) with
// its text in bold; otherwise, and in high contrast, the system draws it.
// `ready` is called from paintEvent on the window thread and must outlive the
// button.
class ActionButton : public QPushButton {
    Q_OBJECT

  public:
    ActionButton(const QString& text, std::function<bool()> ready, QWidget* parent = nullptr);

    // True when the next paint uses the green look.
    bool DrawsReadyLook() const;

    void SetBoldFont(const QFont& font) { boldFont_ = font; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<bool()> ready_;
    QFont boldFont_;
};

}  // namespace corvina
