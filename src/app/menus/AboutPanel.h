#pragma once

#include "app/lifecycle/ApplicationVersion.h"

#include <QtWidgets/QDialog>

namespace velto {

/// A small window with the application's icon, its name and its version ("Version 1.0 (57)", "Build 57",
/// "Development build"). One is kept and raised again while it is open.
class AboutPanel : public QDialog {
public:
    explicit AboutPanel(const ApplicationVersion &version, QWidget *parent = nullptr);

    /// Shows the panel, raised and active.
    void present();
};

} // namespace velto
