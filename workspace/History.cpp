#include "workspace/History.h"

#include <unordered_set>

namespace quill {

namespace {

// The distinct pictures of a state.
std::unordered_set<const void*> picturesOf(const DocumentState& state,
                                           std::vector<std::size_t>* bytes = nullptr) {
    std::unordered_set<const void*> seen;
    state.forEachPicture([&](const SharedPicture& p) {
        if (p.identity() && seen.insert(p.identity()).second && bytes)
            bytes->push_back(p.bytes());
    });
    return seen;
}

} // namespace

void History::hold(const DocumentState& state) {
    state.forEachPicture(
        [&, seen = std::unordered_set<const void*>()](const SharedPicture& p) mutable {
            if (!p.identity() || !seen.insert(p.identity()).second)
                return;
            Held& h = m_held[p.identity()];
            if (h.holders++ == 0) {
                h.bytes = p.bytes();
                m_heldBytes += h.bytes;
            }
        });
}

void History::release(const DocumentState& state) {
    state.forEachPicture(
        [&, seen = std::unordered_set<const void*>()](const SharedPicture& p) mutable {
            if (!p.identity() || !seen.insert(p.identity()).second)
                return;
            const auto it = m_held.find(p.identity());
            if (it == m_held.end() || --it->second.holders > 0)
                return;
            m_heldBytes -= it->second.bytes;
            m_held.erase(it);
        });
}

void History::record(const std::string& name, const std::string& mergeKey, DocumentState before,
                     const DocumentState& now) {
    if (!m_enabled)
        return;
    for (const Entry& e : m_redo)
        release(e.state);
    m_redo.clear();
    if (!wouldMerge(mergeKey)) {
        hold(before);
        m_undo.push_back({name, mergeKey, std::move(before), m_stateNumber});
    }
    m_stateNumber = ++m_lastNumber;
    m_mayMerge = true;
    keepWithinBudget(now);
}

std::optional<DocumentState> History::undo(DocumentState now) {
    if (m_undo.empty())
        return std::nullopt;
    Entry entry = std::move(m_undo.back());
    m_undo.pop_back();
    hold(now);
    m_redo.push_back({entry.name, entry.mergeKey, std::move(now), m_stateNumber});
    release(entry.state);
    m_stateNumber = entry.number;
    m_mayMerge = false;
    return std::move(entry.state);
}

std::optional<DocumentState> History::redo(DocumentState now) {
    if (m_redo.empty())
        return std::nullopt;
    Entry entry = std::move(m_redo.back());
    m_redo.pop_back();
    hold(now);
    m_undo.push_back({entry.name, entry.mergeKey, std::move(now), m_stateNumber});
    release(entry.state);
    m_stateNumber = entry.number;
    m_mayMerge = false;
    return std::move(entry.state);
}

void History::clear() {
    // The document as it stands now is a state of its own, unlike any known before.
    m_stateNumber = ++m_lastNumber;
    m_undo.clear();
    m_redo.clear();
    m_held.clear();
    m_heldBytes = 0;
    m_mayMerge = false;
}

std::size_t History::memoryBytes(const DocumentState& now) const {
    // What the history holds, less what the document holds as well.
    std::size_t bytes = m_heldBytes;
    for (const void* id : picturesOf(now)) {
        const auto it = m_held.find(id);
        if (it != m_held.end())
            bytes -= it->second.bytes;
    }
    return bytes;
}

void History::keepWithinBudget(const DocumentState& now) {
    // The oldest steps go first; the last step always stays, whatever it holds.
    while (m_undo.size() > 1 && memoryBytes(now) > m_budget) {
        release(m_undo.front().state);
        m_undo.pop_front();
    }
}

} // namespace quill
