#pragma once

#include <QtCore/QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velto::editor {

/// Undo and redo with the platform's semantics: actions are registered in groups (nested groups fold
/// into their parent), undoing a group runs its actions newest first and whatever they register while
/// they run becomes the group's redo (and a redo's registrations become the undo again), registration can
/// be switched off and on in nested pairs, and the action name of a group can be set after its actions
/// were registered. A registration made outside every group is a group of its own; the manager does not
/// group by event.
class UndoManager {
public:
    /// An undo action; it receives the manager that runs it, on which it registers its inverse.
    using Action = std::function<void(UndoManager &)>;

    UndoManager() = default;
    UndoManager(const UndoManager &) = delete;
    UndoManager &operator=(const UndoManager &) = delete;

    // ---- grouping ----

    void beginUndoGrouping();
    /// Closes the innermost open group; an empty group is dropped. Without an open group, nothing.
    void endUndoGrouping();
    /// How many groups are open.
    int groupingLevel() const { return static_cast<int>(openGroups_.size()); }
    /// Always false: groups are opened by the callers, never per event.
    bool groupsByEvent() const { return false; }

    // ---- registering ----

    /// Adds the action to the open group (or to a group of its own). While undoing it goes to the redo
    /// side; otherwise to the undo side, and a registration that is neither undo nor redo clears redo.
    /// Ignored while registration is disabled.
    void registerUndo(Action action);
    /// Names the group being built, else the group that undo (or, while undoing, redo) would run next.
    void setActionName(const QString &name);

    /// Disabling counts: registration resumes when every disable has been matched by an enable.
    void disableUndoRegistration();
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const { return disabledCount_ == 0; }

    // ---- undoing and redoing ----

    bool canUndo() const;
    bool canRedo() const;
    QString undoActionName() const;
    QString redoActionName() const;
    /// Closes any open group, then runs the newest undo group; its actions' registrations form the redo
    /// group, which takes the same action name.
    void undo();
    void redo();
    bool isUndoing() const { return undoing_; }
    bool isRedoing() const { return redoing_; }

    /// Forgets every undo and redo group (open groups included).
    void removeAllActions();

    /// Grows on every registration, grouping change, undo, redo and removal, so that a caller can tell
    /// whether anything happened on the manager since it last looked (the editor's typing coalescing).
    std::uint64_t changeCount() const { return changeCount_; }

private:
    struct Group;
    struct Item {
        Action action;                // a registered action, or
        std::shared_ptr<Group> group; // a nested group
    };
    struct Group {
        std::vector<Item> items;
        QString actionName;
    };

    void runGroup(UndoManager &manager, const Group &group);
    void replay(std::vector<std::shared_ptr<Group>> &from, bool asUndo);
    void closeAllOpenGroups();

    std::vector<std::shared_ptr<Group>> undoStack_;
    std::vector<std::shared_ptr<Group>> redoStack_;
    std::vector<std::shared_ptr<Group>> openGroups_;
    int disabledCount_ = 0;
    bool undoing_ = false;
    bool redoing_ = false;
    std::uint64_t changeCount_ = 0;
};

} // namespace velto::editor
