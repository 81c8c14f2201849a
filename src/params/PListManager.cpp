#include "params/PListManager.h"

#include "params/TextWords.h"

namespace kestrava::params {

namespace {

// A list declared without some row operation lays its rows out without it.
PListManager::RowOperations withNoOps(PListManager::RowOperations ops) {
    if (!ops.clearRow) ops.clearRow = [](std::int64_t) {};
    if (!ops.moveRow) ops.moveRow = [](std::int64_t, std::int64_t) {};
    if (!ops.showRow) ops.showRow = [](std::int64_t, bool) {};
    return ops;
}

}  // namespace

PListManager::PListManager(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::int32_t fixed,
                           std::int32_t minimum, std::int32_t maximum, std::int32_t fullScale,
                           std::int32_t defaultCount, const ShortKey& shortKey, const NamePair& section,
                           const NamePair& key, std::string_view name, RowOperations rowOps)
    : PInt(owner, viewMask, id, 44, minimum, maximum < 0 ? 0 : maximum, fullScale, defaultCount, shortKey, section,
           key, name, ""),
      fixedRows(fixed < 0 ? 0 : (fixed > maximum ? (maximum < 0 ? 0 : maximum) : fixed)),
      ops(withNoOps(std::move(rowOps))),
      rowUsed(new std::atomic<bool>[static_cast<std::size_t>(maximum_)]),
      usedRowCount(fixedRows) {
    for (std::int64_t i = 0; i < maximum_; ++i) rowUsed[static_cast<std::size_t>(i)].store(i < fixedRows);
}

void PListManager::markRowUsed(std::int64_t row) {
    if (row < 0 || row >= rows()) return;
    if (!compacted.load()) {
        if (!rowUsed[static_cast<std::size_t>(row)].exchange(true)) {
            const std::int64_t used = usedRowCount.fetch_add(1) + 1;
            setValue(std::max(used, current()));
        }
    } else if (row >= current()) {
        setValue(row + 1);
    }
}

bool PListManager::setValue(std::int64_t v) {
    {
        std::lock_guard lock(rowMutex);
        // Shown rows are limited to the rows that exist.
        const std::int64_t n = std::min(std::max(v, minimum_), rows());
        if (!compacted.load()) {
            std::int64_t k = 0;
            const std::int64_t used = usedRowCount.load();
            for (std::int64_t i = 0; i < rows(); ++i) {
                const bool inUse = rowUsed[static_cast<std::size_t>(i)].load();
                const bool shown = inUse || k + used < n;
                if (shown && !inUse) ++k;
                ops.showRow(i, shown);
            }
        } else {
            for (std::int64_t i = 0; i < n; ++i) ops.showRow(i, true);
            for (std::int64_t i = n; i < rows(); ++i) {
                ops.clearRow(i);
                ops.showRow(i, false);
            }
        }
    }
    return commitValue(v);
}

bool PListManager::applyValue(int kind, bool notify) {
    compacted.store(false);
    return PInt::applyValue(kind, notify);
}

void PListManager::compact() {
    std::int64_t j = 0;
    {
        std::lock_guard lock(rowMutex);
        compacted.store(true);
        std::int64_t k = 0;
        const std::int64_t limit = std::max(current(), minimum_);
        const std::int64_t used = usedRowCount.load();
        for (std::int64_t i = 0; i < rows(); ++i) {
            if (rowUsed[static_cast<std::size_t>(i)].load()) {
                if (j < i) {
                    ops.moveRow(i, j);
                    ops.showRow(j, true);
                    ops.clearRow(i);
                    ops.showRow(i, false);
                }
                ++j;
            } else if (k + used < limit) {
                ops.showRow(i, true);
                ++k;
                ++j;
            }
        }
    }
    setValue(j);
}

void PListManager::insertRow(int view, std::int64_t p) {
    if (!isEditable(view) || current() >= maximum_) return;
    if (!compacted.load()) compact();
    const std::int64_t c = current();
    // The position arrives unchecked from the web, and compaction may just have filled the list.
    if (p < 0 || p > c || c >= rows()) return;
    for (std::int64_t q = c; q > p; --q) {
        ops.moveRow(q - 1, q);
        ops.showRow(q, true);
    }
    if (isInRange(c + 1) && setValue(c + 1)) notifyUserChange();
    ops.clearRow(p);
    ops.showRow(p, true);
}

void PListManager::deleteRow(int view, std::int64_t p) {
    if (!isEditable(view) || current() <= minimum_ || p < fixedRows || p >= current()) return;
    if (!compacted.load()) compact();
    const std::int64_t count = std::min(current(), rows());
    if (p >= count) return;
    for (std::int64_t q = p + 1; q < count; ++q) {
        ops.moveRow(q, q - 1);
        ops.showRow(q - 1, true);
    }
    if (isInRange(count - 1) && setValue(count - 1)) notifyUserChange();
    const std::int64_t c = current();
    if (c >= 0 && c < rows()) {
        ops.clearRow(c);
        ops.showRow(c, false);
    }
}

bool PListManager::readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext&) {
    if (values.count() <= 0) return false;
    const std::int32_t action = *values.at(1);
    if (action != 1 && action != 2) return false;
    const auto row = values.number32(2);
    if (!row) return true;
    if (action == 1) {
        deleteRow(request.clientView, *row);
    } else {
        insertRow(request.clientView, *row);
    }
    return true;
}

void PListManager::writeWireState(const RequestContext&, WidgetContext& widget, WordWriter& out) {
    if (!valueToSend(*this, widget)) return;
    out.number32(current());
}

void PListManager::writeTextFieldDescriptor(WordWriter& out) const {
    out.number32(minimum_);
    out.number32(maximum_);
}

void PListManager::writeWireValue(WordWriter& out) { writeTextFieldDescriptor(out); }

}  // namespace kestrava::params
