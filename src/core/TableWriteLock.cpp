#include "core/TableWriteLock.h"

#include "store/StoreDatabase.h"
#include "store/StoreFileIO.h"
#include "store/StoreTable.h"
#include "store/StoreTableIO.h"
#include "store/processing/StoreErrors.h"

namespace quorv::app {

namespace {

store::TStoreFileIO& FileOf(store::TStoreTable& table) {
    if (!table.Active() || table.Database() == nullptr) {
        throw store::EDatabaseError("Cannot perform this operation on a closed dataset");
    }
    return table.Database()->FileIO();
}

}  // namespace

TableWriteLock::TableWriteLock(store::TStoreTable& table) : file_(FileOf(table)) {
    file_.Lock();
    try {
        // Reads without the lock may have left the copy behind what others wrote.
        // Inside a batch the lock was already ours and the copy is ahead of the file.
        store::TStoreTableIO* io = table.Database()->FindTableIO(table.TableName());
        if (io != nullptr && !io->InBatch()) {
            io->Reload();
        }
        table.Refresh();
    } catch (...) {
        file_.Unlock();
        throw;
    }
}

TableWriteLock::~TableWriteLock() {
    file_.Unlock();
}

}  // namespace quorv::app
