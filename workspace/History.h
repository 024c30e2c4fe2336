#pragma once

// The undo history: the document as it was before each step, under the step's name.
// States share their pictures with each other and with the document, so a step that
// changed one layer holds that layer's old pictures and nothing else. The history keeps
// within a memory budget (the pictures it alone holds), forgetting the oldest steps first
// but always keeping the last one.

#include "workspace/DocumentState.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quill {

inline constexpr std::size_t kDefaultHistoryBudget = std::size_t(1) << 30;

class History {
  public:
    explicit History(std::size_t budgetBytes = kDefaultHistoryBudget) : m_budget(budgetBytes) {}

    // Every state of the document the history knows carries a number of its own, so that
    // a document can tell whether it stands where it was saved.
    std::uint64_t stateNumber() const { return m_stateNumber; }

    // A step named `name` changed the document from `before` to `now`. A step with a merge
    // key equal to the last step's, recorded right after it, joins it (it keeps the older
    // state). Forgets the steps that could be redone.
    void record(const std::string& name, const std::string& mergeKey, DocumentState before,
                const DocumentState& now);

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // The name of the step undo or redo would take back ("" when none).
    std::string undoName() const { return canUndo() ? m_undo.back().name : std::string(); }
    std::string redoName() const { return canRedo() ? m_redo.back().name : std::string(); }
    int undoCount() const { return int(m_undo.size()); }
    int redoCount() const { return int(m_redo.size()); }

    // The state to go back to; `now` is kept for redo. nullopt when there is nothing to undo.
    std::optional<DocumentState> undo(DocumentState now);
    std::optional<DocumentState> redo(DocumentState now);
    void clear();

    // The bytes of the pictures the history holds that `now` does not.
    std::size_t memoryBytes(const DocumentState& now) const;
    std::size_t budget() const { return m_budget; }
    // A history that is not enabled records nothing (a scene built for the command line).
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled) {
        m_enabled = enabled;
        if (!enabled)
            clear();
    }
    // True when a step with this merge key, made now, would join the last step.
    bool wouldMerge(const std::string& mergeKey) const {
        return m_mayMerge && !mergeKey.empty() && !m_undo.empty() &&
               m_undo.back().mergeKey == mergeKey;
    }
    void setBudget(std::size_t bytes) { m_budget = bytes; }

  private:
    struct Entry {
        std::string name;
        std::string mergeKey;
        DocumentState state;
        std::uint64_t number = 0; // the state's number
    };
    void keepWithinBudget(const DocumentState& now);
    // The pictures the entries hold, each counted once however many entries hold it.
    void hold(const DocumentState& state);
    void release(const DocumentState& state);

    std::deque<Entry> m_undo;  // oldest first
    std::vector<Entry> m_redo; // the next redo last
    struct Held {
        std::size_t holders = 0;
        std::size_t bytes = 0;
    };
    std::unordered_map<const void*, Held> m_held;
    std::size_t m_heldBytes = 0;
    bool m_mayMerge = false; // the last thing done was record()
    std::uint64_t m_stateNumber = 0;
    std::uint64_t m_lastNumber = 0;
    std::size_t m_budget;
    bool m_enabled = true;
};

} // namespace quill
