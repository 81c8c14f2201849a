#pragma once

#include "params/PInt.h"

#include <functional>
#include <memory>

namespace kestrava::params {

// The number of rows in use of a list of rows declared in advance (destinations, accounts). The
// web client inserts an empty row at a position or deletes a row; the manager carries it out with
// three row operations of the settings store. Rows 0..fixedRows-1 can never be deleted. Until the
// first insert or delete, rows that hold settings are shown wherever they lie; from then on the
// rows in use are kept contiguous from row 0. Every row handed to the operations lies in
// 0..maximum-1.
class PListManager : public PInt {
public:
    struct RowOperations {
        std::function<void(std::int64_t row)> clearRow;
        std::function<void(std::int64_t from, std::int64_t to)> moveRow;
        std::function<void(std::int64_t row, bool shown)> showRow;
    };

    PListManager(ParamOwner& owner, std::uint32_t viewMask, ParamId id, std::int32_t fixedRows,
                 std::int32_t minimum, std::int32_t maximum, std::int32_t fullScale, std::int32_t defaultCount,
                 const ShortKey& shortKey, const NamePair& section, const NamePair& key, std::string_view name,
                 RowOperations rows);

    // A row holds settings (from the settings walkers); ignored outside 0..maximum-1.
    void markRowUsed(std::int64_t row);
    void insertRow(int view, std::int64_t position);
    void deleteRow(int view, std::int64_t position);
    bool isCompacted() const noexcept { return compacted.load(); }

    bool setValue(std::int64_t v) override;
    bool applyValue(int kind, bool notify) override;
    bool isKindSupported() const override { return kind() == 44; }
    bool readWireInput(const RequestContext& request, const RequestValues& values, WidgetContext& widget) override;
    void writeWireState(const RequestContext& request, WidgetContext& widget, WordWriter& out) override;
    void writeWireValue(WordWriter& out) override;
    void writeTextFieldDescriptor(WordWriter& out) const override;

private:
    void compact();
    std::int64_t rows() const noexcept { return maximum_; }

    const std::int32_t fixedRows;
    const RowOperations ops;
    std::mutex rowMutex;  // the row walk of one operation at a time
    std::unique_ptr<std::atomic<bool>[]> rowUsed;
    std::atomic<std::int64_t> usedRowCount;
    std::atomic<bool> compacted{false};
};

}  // namespace kestrava::params
