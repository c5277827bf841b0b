#pragma once

#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include <optional>

namespace velto {

/// The centred empty state of a list: a symbol, a one-line title and a wrapping message. Clicks pass
/// through to the list beneath; screen readers see one group named by the title, described by the message.
class VeltoContentUnavailableView : public QWidget {
    Q_OBJECT

public:
    struct Presentation {
        QString symbolName;
        QString title;
        QString message;
        friend bool operator==(const Presentation &, const Presentation &) = default;
    };

    /// The message wraps within this width.
    static constexpr int messageWidth = 280;

    explicit VeltoContentUnavailableView(QWidget *parent = nullptr);

    /// Shows the presentation; every call applies it, also when it equals the last one.
    void configure(const Presentation &presentation);
    const std::optional<Presentation> &presentation() const { return presentation_; }

    QLabel *iconView() const { return iconView_; }
    QLabel *titleLabel() const { return titleLabel_; }
    QLabel *messageLabel() const { return messageLabel_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    /// The width the title and the message take: the message width, or less in a narrow view.
    int textRoom() const;
    void showTitle();
    void fitMessage();
    void applyColors();

    QLabel *iconView_;
    QLabel *titleLabel_;
    QLabel *messageLabel_;
    std::optional<Presentation> presentation_;
};

} // namespace velto
