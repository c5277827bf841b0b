#include "app/menus/AboutPanel.h"

#include "app/menus/VeltoApplicationIcon.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace velto {

AboutPanel::AboutPanel(const ApplicationVersion &version, QWidget *parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Velto"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *icon = new QLabel;
    icon->setObjectName(QStringLiteral("applicationIcon"));
    icon->setAccessibleName(QStringLiteral("Velto app icon"));
    icon->setPixmap(VeltoApplicationIcon::adaptiveImage().pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);

    auto *name = new QLabel(QStringLiteral("Velto"));
    name->setObjectName(QStringLiteral("applicationName"));
    QFont nameFont = name->font();
    nameFont.setPixelSize(17);
    nameFont.setWeight(QFont::DemiBold);
    name->setFont(nameFont);
    name->setAlignment(Qt::AlignCenter);

    auto *versionLabel = new QLabel(QString::fromStdString(version.displayDescription()));
    versionLabel->setObjectName(QStringLiteral("applicationVersion"));
    versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    versionLabel->setAlignment(Qt::AlignCenter);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 16);
    layout->setSpacing(8);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(versionLabel);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutPanel::present() {
    show();
    raise();
    activateWindow();
}

} // namespace velto
