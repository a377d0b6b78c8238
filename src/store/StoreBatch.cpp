#include "store/StoreBatch.h"

#include "store/StoreDatabase.h"
#include "store/StoreTable.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

TStoreTableIO& TableOf(TStoreTable& cursor) {
    TStoreTableIO* io = cursor.Active() && cursor.Database() != nullptr
                            ? cursor.Database()->FindTableIO(cursor.TableName())
                            : nullptr;
    if (io == nullptr) {
        throw EDatabaseError("Cannot perform this operation on a closed dataset");
    }
    return *io;
}

}  // namespace

TStoreBatch::TStoreBatch(TStoreTableIO& table) : table_(table) {
    table_.BeginBatch();
}

TStoreBatch::TStoreBatch(TStoreTable& cursor) : TStoreBatch(TableOf(cursor)) {}

TStoreBatch::~TStoreBatch() {
    if (open_) {
        table_.AbandonBatch();
    }
}

void TStoreBatch::Commit() {
    if (!open_) {
        return;
    }
    open_ = false;
    table_.CommitBatch();
}

}  // namespace quorv::store
