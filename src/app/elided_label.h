#pragma once

#include <QLabel>

namespace corvina {

// A one-line label that ends its text with "..." when the text is wider than
// the label, instead of cutting it off. A box frame is a plain black line,
// whatever the text colour. Window thread only.
class ElidedLabel : public QLabel {
    Q_OBJECT

  public:
    using QLabel::QLabel;

    // The text as it is drawn at the label's current width.
    QString ShownText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace corvina
