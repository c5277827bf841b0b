#include "app/menus/MainMenu.h"

#include "ui/KeyNames.h"

#include <QtCore/QMetaObject>
#include <QtGui/QAction>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

namespace velto {

namespace {

/// The validation of an item, kept on its action so that showing its menu can ask it.
constexpr char validationProperty[] = "veltoValidation";
using Validation = std::function<bool()>;

Validation validationOf(const QAction *action) {
    QVariant stored = action->property(validationProperty);
    return stored.isValid() ? stored.value<Validation>() : Validation();
}

bool isValid(const QAction *action) {
    Validation validation = validationOf(action);
    return !validation || validation();
}

/// Items are validated as their menu shows; afterwards they are enabled again, so that a key reaches the
/// handler, which checks for itself.
void validateOnShow(QMenu *menu) {
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] { validateMenu(*menu); });
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        for (QAction *action : menu->actions()) {
            if (validationOf(action)) {
                action->setEnabled(true);
            }
        }
    });
}

QMenu *makeMenu(const QString &title, QWidget *parent) {
    auto *menu = new QMenu(title, parent);
    validateOnShow(menu);
    return menu;
}

QKeySequence keys(QKeyCombination combination) {
    return QKeySequence(combination);
}

/// The widget that would take an Edit item: the focused one, when it has the item's slot.
QWidget *responderFor(const char *slot) {
    QWidget *focus = QApplication::focusWidget();
    if (focus == nullptr) {
        return nullptr;
    }
    QByteArray signature = QByteArray(slot) + "()";
    return focus->metaObject()->indexOfSlot(signature.constData()) >= 0 ? focus : nullptr;
}

} // namespace

std::optional<QKeySequence> menuKeySequence(const GlobalShortcut &shortcut) {
    QStringList parts;
    for (std::uint64_t flag :
         {ModifierFlags::command, ModifierFlags::option, ModifierFlags::shift, ModifierFlags::control}) {
        if ((shortcut.modifiers & flag) != 0) {
            parts << (flag == ModifierFlags::control ? QStringLiteral("Meta") : KeyNames::modifierName(flag));
        }
    }
    QString key = KeyNames::keyName(GlobalShortcut::normalizedKeyLabel(shortcut.keyLabel));
    if (key == QStringLiteral("SPACE")) {
        key = QStringLiteral("Space");
    } else if (key == QStringLiteral("Enter")) {
        key = QStringLiteral("Return");
    } else if (key == QStringLiteral("Page Up")) {
        key = QStringLiteral("PgUp");
    } else if (key == QStringLiteral("Page Down")) {
        key = QStringLiteral("PgDown");
    }
    parts << key;
    QKeySequence sequence = QKeySequence::fromString(parts.join(QLatin1Char('+')), QKeySequence::PortableText);
    if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown) {
        return std::nullopt;
    }
    return sequence;
}

const GlobalShortcut &reloadFromDiskShortcut() {
    static const GlobalShortcut shortcut{15, ModifierFlags::command, QStringLiteral("R")};
    return shortcut;
}

VeltoMainMenuBuilder::VeltoMainMenuBuilder(MainMenuActions actions, QList<QKeySequence> keysTakenByWindow)
    : actions_(std::move(actions))
    , keysTakenByWindow_(std::move(keysTakenByWindow)) {}

QMenuBar *VeltoMainMenuBuilder::makeMenuBar(QWidget *parent) const {
    auto *bar = new QMenuBar(parent);
    for (QMenu *menu : {applicationMenu(bar), fileMenu(bar), editMenu(bar), viewMenu(bar)}) {
        bar->addMenu(menu);
    }
    return bar;
}

QAction *VeltoMainMenuBuilder::addItem(QMenu *menu, const QString &title, std::function<void()> handler,
                                       Validation validation, std::optional<QKeySequence> keys) const {
    QString text = title;
    auto *action = new QAction(menu);
    if (keys && keysTakenByWindow_.contains(*keys)) {
        // Shown, not taken: the window's own shortcut runs for this key.
        text += QLatin1Char('\t') + keys->toString(QKeySequence::NativeText);
    } else if (keys) {
        action->setShortcut(*keys);
    }
    action->setText(text);
    action->setProperty(validationProperty, QVariant::fromValue(validation));
    QObject::connect(action, &QAction::triggered, action, [handler = std::move(handler), validation] {
        if (handler && (!validation || validation())) {
            handler();
        }
    });
    menu->addAction(action);
    return action;
}

QAction *VeltoMainMenuBuilder::addCommandItem(QMenu *menu, VeltoCommandID id, Validation validation) const {
    std::optional<QKeySequence> keys;
    if (std::optional<GlobalShortcut> current = shortcut(id)) {
        keys = menuKeySequence(*current);
    }
    std::function<void(VeltoCommandID)> perform = actions_.performCommand;
    QAction *action = addItem(
        menu, VeltoCommandCatalog::descriptor(id).title,
        [perform, id] {
            if (perform) {
                perform(id);
            }
        },
        std::move(validation), keys);
    action->setObjectName(rawValue(id));
    return action;
}

QAction *VeltoMainMenuBuilder::addEditItem(QMenu *menu, const QString &title, const char *slot,
                                           std::optional<QKeySequence> keys) const {
    QByteArray name(slot);
    return addItem(
        menu, title,
        [name] {
            if (QWidget *responder = responderFor(name.constData())) {
                QMetaObject::invokeMethod(responder, name.constData());
            }
        },
        [name] { return responderFor(name.constData()) != nullptr; }, keys);
}

QMenu *VeltoMainMenuBuilder::applicationMenu(QWidget *parent) const {
    QMenu *menu = makeMenu(QStringLiteral("Velto"), parent);
    addItem(menu, QStringLiteral("About Velto"), actions_.showAbout);
    menu->addSeparator();
    if (actions_.checkForUpdates) {
        addItem(menu, QStringLiteral("Check for Updates…"), actions_.checkForUpdates);
        menu->addSeparator();
    }
    for (VeltoCommandID id : VeltoCommandCatalog::applicationMenuCommandIDs()) {
        addCommandItem(menu, id);
    }
    menu->addSeparator();
    addItem(menu, QStringLiteral("Send Feedback…"), actions_.sendFeedback, actions_.canSendFeedback);
    menu->addSeparator();
    addItem(menu, QStringLiteral("Quit Velto"), actions_.quit, {}, keys(Qt::CTRL | Qt::Key_Q));
    return menu;
}

QMenu *VeltoMainMenuBuilder::fileMenu(QWidget *parent) const {
    QMenu *menu = makeMenu(QStringLiteral("File"), parent);
    for (VeltoCommandID id : VeltoCommandCatalog::fileMenuCommandIDs()) {
        addCommandItem(menu, id);
    }
    menu->addSeparator();
    // The folder opens with the current page's file selected, or alone when the page has no file.
    addItem(menu, QStringLiteral("Open Pages Folder"), actions_.revealCurrentPage, actions_.canOpenPagesFolder);
    addItem(menu, QStringLiteral("Reload from Disk"), actions_.reloadFromDisk, actions_.hasLibrary,
            menuKeySequence(reloadFromDiskShortcut()));
    return menu;
}

QMenu *VeltoMainMenuBuilder::editMenu(QWidget *parent) const {
    QMenu *menu = makeMenu(QStringLiteral("Edit"), parent);
    addEditItem(menu, QStringLiteral("Undo"), "undo", keys(Qt::CTRL | Qt::Key_Z));
    addEditItem(menu, QStringLiteral("Redo"), "redo", keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    menu->addSeparator();
    addEditItem(menu, QStringLiteral("Cut"), "cut", keys(Qt::CTRL | Qt::Key_X));
    addEditItem(menu, QStringLiteral("Copy"), "copy", keys(Qt::CTRL | Qt::Key_C));
    addEditItem(menu, QStringLiteral("Paste"), "paste", keys(Qt::CTRL | Qt::Key_V));
    // Velto's text fields hold plain text only, so pasting always matches their style.
    addEditItem(menu, QStringLiteral("Paste and Match Style"), "paste",
                keys(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_V));
    addItem(
        menu, QStringLiteral("Delete"),
        [] {
            if (QWidget *responder = responderFor("cut")) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
                QApplication::sendEvent(responder, &press);
                QApplication::sendEvent(responder, &release);
            }
        },
        [] { return responderFor("cut") != nullptr; });
    addEditItem(menu, QStringLiteral("Select All"), "selectAll", keys(Qt::CTRL | Qt::Key_A));

    // Finding belongs to the panel's text view, which has its own find bar.
    QMenu *find = makeMenu(QStringLiteral("Find"), menu);
    Validation hasResponder = actions_.hasCommandResponder;
    auto finding = [perform = actions_.performFindAction](TextFinderAction action) {
        return [perform, action] {
            if (perform) {
                perform(action);
            }
        };
    };
    addItem(find, QStringLiteral("Find…"), finding(TextFinderAction::showFindInterface), hasResponder,
            keys(Qt::CTRL | Qt::Key_F));
    addItem(find, QStringLiteral("Find Next"), finding(TextFinderAction::nextMatch), hasResponder,
            keys(Qt::CTRL | Qt::Key_G));
    addItem(find, QStringLiteral("Find Previous"), finding(TextFinderAction::previousMatch), hasResponder,
            keys(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
    addItem(find, QStringLiteral("Use Selection for Find"), finding(TextFinderAction::setSearchString), hasResponder,
            keys(Qt::CTRL | Qt::Key_E));
    menu->addMenu(find);
    return menu;
}

QMenu *VeltoMainMenuBuilder::viewMenu(QWidget *parent) const {
    QMenu *menu = makeMenu(QStringLiteral("View"), parent);
    bool first = true;
    for (const std::vector<VeltoCommandID> &group : VeltoCommandCatalog::viewMenuCommandGroups()) {
        if (!first) {
            menu->addSeparator();
        }
        first = false;
        for (VeltoCommandID id : group) {
            addCommandItem(menu, id, actions_.hasCommandResponder);
        }
    }
    return menu;
}

void validateMenu(QMenu &menu) {
    for (QAction *action : menu.actions()) {
        if (validationOf(action)) {
            action->setEnabled(isValid(action));
        }
        if (QMenu *submenu = action->menu()) {
            validateMenu(*submenu);
        }
    }
}

QStringList describeMenu(const QMenu &menu, int depth) {
    QStringList lines;
    QString indent(depth * 2, QLatin1Char(' '));
    for (const QAction *action : menu.actions()) {
        if (action->isSeparator()) {
            lines << indent + QStringLiteral("-");
            continue;
        }
        QString line = indent + action->text();
        if (!action->shortcut().isEmpty()) {
            line += QLatin1Char('\t') + action->shortcut().toString(QKeySequence::NativeText);
        }
        if (!action->isEnabled()) {
            line += QStringLiteral(" (disabled)");
        }
        lines << line;
        if (const QMenu *submenu = action->menu()) {
            lines << describeMenu(*submenu, depth + 1);
        }
    }
    return lines;
}

} // namespace velto
