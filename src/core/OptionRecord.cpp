#include "core/OptionRecord.h"

#include "core/RecordLookup.h"
#include "core/TableWriteLock.h"
#include "store/StoreBatch.h"
#include "store/StoreTable.h"

namespace quorv::app {

using store::TStoreTable;

namespace {

constexpr size_t kKeyWidth = apply::ColumnWidth(apply::kOptionColumns, "Name");
constexpr size_t kValueWidth = apply::ColumnWidth(apply::kOptionColumns, "Value");

void InsertOption(TStoreTable& options, const std::string& key, const std::string& value) {
    options.Insert();
    try {
        options.FieldByName("Name").SetAsString(apply::CutToWidth(key, kKeyWidth));
        options.FieldByName("Value").SetAsString(apply::CutToWidth(value, kValueWidth));
        options.Post();
    } catch (...) {
        // Leave the cursor browsing, so the next write does not meet a pending row.
        options.Cancel();
        throw;
    }
}

}  // namespace

apply::OptionValue ReadOption(TStoreTable& options, const std::string& key) {
    if (!FindByName(options, key)) {
        return std::nullopt;
    }
    return options.FieldByName("Value").AsString();
}

void WriteOption(TStoreTable& options, const std::string& key, const std::string& value) {
    if (!FindByName(options, key)) {
        InsertOption(options, key, value);
        return;
    }
    options.Edit();
    try {
        options.FieldByName("Value").SetAsString(apply::CutToWidth(value, kValueWidth));
        options.Post();
    } catch (...) {
        options.Cancel();
        throw;
    }
}

void AddMissingOptions(TStoreTable& options) {
    auto allPresent = [&] {
        for (const apply::OptionDefault& option : apply::kOptionDefaults) {
            if (!FindByName(options, option.key)) {
                return false;
            }
        }
        return true;
    };
    // The usual start finds every row and needs no lock, so a read-only file still opens.
    if (allPresent()) {
        return;
    }
    // Two first starts at once must not both add the rows.
    const TableWriteLock lock(options);
    // The rows become visible together, with one sync rather than one per row.
    store::TStoreBatch batch(options);
    for (const apply::OptionDefault& option : apply::kOptionDefaults) {
        if (!FindByName(options, option.key)) {
            InsertOption(options, option.key, option.value);
        }
    }
    batch.Commit();
}

}  // namespace quorv::app
