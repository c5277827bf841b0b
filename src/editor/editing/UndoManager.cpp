#include "editor/editing/UndoManager.h"

#include <utility>

namespace velto::editor {

namespace {

/// Sets a flag for the length of a scope, also when an action throws.
class FlagScope {
public:
    explicit FlagScope(bool &flag)
        : flag_(flag) {
        flag_ = true;
    }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &flag_;
};

} // namespace

void UndoManager::beginUndoGrouping() {
    ++changeCount_;
    openGroups_.push_back(std::make_shared<Group>());
}

void UndoManager::endUndoGrouping() {
    if (openGroups_.empty()) {
        return;
    }
    ++changeCount_;
    std::shared_ptr<Group> group = std::move(openGroups_.back());
    openGroups_.pop_back();
    if (group->items.empty()) {
        return;
    }
    if (!openGroups_.empty()) {
        openGroups_.back()->items.push_back(Item{{}, std::move(group)});
        return;
    }
    // A finished top-level group belongs to redo while undoing, else to undo (also while redoing).
    if (undoing_) {
        redoStack_.push_back(std::move(group));
    } else {
        undoStack_.push_back(std::move(group));
    }
}

void UndoManager::registerUndo(Action action) {
    if (!isUndoRegistrationEnabled() || !action) {
        return;
    }
    ++changeCount_;
    if (!undoing_ && !redoing_) {
        redoStack_.clear();
    }
    if (openGroups_.empty()) {
        beginUndoGrouping();
        openGroups_.back()->items.push_back(Item{std::move(action), nullptr});
        endUndoGrouping();
        return;
    }
    openGroups_.back()->items.push_back(Item{std::move(action), nullptr});
}

void UndoManager::setActionName(const QString &name) {
    // The name belongs to the outermost group: nested groups fold into it and are never undone alone.
    if (!openGroups_.empty()) {
        openGroups_.front()->actionName = name;
    } else if (!undoStack_.empty()) {
        undoStack_.back()->actionName = name;
    }
}

void UndoManager::disableUndoRegistration() {
    ++disabledCount_;
}

void UndoManager::enableUndoRegistration() {
    if (disabledCount_ > 0) {
        --disabledCount_;
    }
}

bool UndoManager::canUndo() const {
    if (undoing_ || redoing_) {
        return false;
    }
    if (!undoStack_.empty()) {
        return true;
    }
    // An open group with actions is closed by undo and then undone.
    return !openGroups_.empty() && !openGroups_.front()->items.empty();
}

bool UndoManager::canRedo() const {
    return !undoing_ && !redoing_ && !redoStack_.empty();
}

QString UndoManager::undoActionName() const {
    return undoStack_.empty() ? QString() : undoStack_.back()->actionName;
}

QString UndoManager::redoActionName() const {
    return redoStack_.empty() ? QString() : redoStack_.back()->actionName;
}

void UndoManager::undo() {
    if (undoing_ || redoing_) {
        return;
    }
    closeAllOpenGroups();
    replay(undoStack_, true);
}

void UndoManager::redo() {
    if (undoing_ || redoing_) {
        return;
    }
    closeAllOpenGroups();
    replay(redoStack_, false);
}

void UndoManager::replay(std::vector<std::shared_ptr<Group>> &from, bool asUndo) {
    if (from.empty()) {
        return;
    }
    std::shared_ptr<Group> group = std::move(from.back());
    from.pop_back();
    ++changeCount_;
    FlagScope replaying(asUndo ? undoing_ : redoing_);
    // The inverse group collects what the actions register while they run; it carries the same name.
    beginUndoGrouping();
    try {
        runGroup(*this, *group);
    } catch (...) {
        openGroups_.front()->actionName = group->actionName;
        endUndoGrouping();
        throw;
    }
    openGroups_.front()->actionName = group->actionName;
    endUndoGrouping();
}

void UndoManager::runGroup(UndoManager &manager, const Group &group) {
    // Newest first, so that each action finds the state its registration left behind.
    for (auto item = group.items.rbegin(); item != group.items.rend(); ++item) {
        if (item->group) {
            runGroup(manager, *item->group);
        } else {
            item->action(manager);
        }
    }
}

void UndoManager::removeAllActions() {
    ++changeCount_;
    undoStack_.clear();
    redoStack_.clear();
    openGroups_.clear();
}

void UndoManager::closeAllOpenGroups() {
    while (!openGroups_.empty()) {
        endUndoGrouping();
    }
}

} // namespace velto::editor
