#include "store/StoreFileIO.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "store/FileIdent.h"
#include "store/FileLayout.h"
#include "store/MemoryMedium.h"
#include "store/NameCompare.h"
#include "store/StoreFileStream.h"
#include "store/Utf8.h"
#include "store/processing/EncryptBase.h"
#include "store/processing/Hash_SHA.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

constexpr int64_t kLockPosition = 1;
// Gathered writes are drained early beyond this, so a huge batch needs no more memory.
constexpr int64_t kMostGatheredBytes = 16 * 1024 * 1024;

// The fixed part of a new database, or an exception when the settings cannot be met.
std::vector<uint8_t> BuildFixedPart(bool compress, uint8_t compressLevel,
                                    std::string_view compressAlgo, bool encrypt,
                                    std::string_view encryptAlgo, std::string_view password,
                                    bool writeVerify) {
    std::vector<uint8_t> image(kFixedPartSize, 0);
    TFileIdent::Current().EncodeTo(image.data() + kFileIdentOffset);

    if (compress) {
        // A file naming a compression nobody has could never be opened again.
        TCompressMgr check;
        check.SetAlgoName(compressAlgo);
    }
    if (encrypt) {
        TEncryptMgr mgr;
        mgr.SetAlgoName(encryptAlgo);
        mgr.SetMode(0);
        mgr.InitKey(password);
        uint8_t* reserved = image.data() + kReservedAreaOffset;
        mgr.EncodeBuffer(reserved, reserved, kReservedEncipheredSize);
    }

    TExtHeader ext;
    ext.RandomizeFiller();
    ext.Compress = compress;
    ext.CompressLevel = compressLevel;
    ext.CompressAlgo = std::string(compressAlgo);
    ext.Encrypt = encrypt;
    ext.EncryptMode = 0;
    ext.EncryptAlgo = std::string(encryptAlgo);
    ext.WriteVerify = writeVerify;
    ext.PasswordDigest = PasswordDigest(password);
    ext.EncodeTo(image.data() + kExtHeaderOffset);

    TTableDirectory().EncodeTo(image.data() + kTableDirectoryOffset);
    return image;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CreateDiskFile(const std::string& fileName, const std::vector<uint8_t>& image) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    // A database someone has open is not replaced under their feet.
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ftruncate(fd, 0) == 0 &&
              WriteAll(fd, image) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

}  // namespace

TStoreFileIO::TStoreFileIO() = default;

TStoreFileIO::~TStoreFileIO() {
    Close();
}

void TStoreFileIO::Open(const std::string& fileName, TStoreMediumType medium, int64_t baseOffset,
                        bool readOnly, bool exclusive) {
    if (IsOpen()) {
        return;
    }
    fileName_ = fileName;
    medium_ = medium;
    baseOffset_ = baseOffset;
    readOnly_ = readOnly;
    exclusive_ = exclusive;
    readOnlyAttribute_ = false;
    try {
        if (medium == mtMemory) {
            OpenMemory(fileName);
        } else {
            OpenDisk(fileName);
        }
        LoadSettings();
    } catch (...) {
        Close();
        throw;
    }
}

void TStoreFileIO::OpenDisk(const std::string& fileName) {
    const std::string cannotOpen = "Cannot open file " + fileName;
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        throw EDatabaseError(cannotOpen);
    }
    {
        TStoreFileStream probe(fileName, TStoreFileStream::Access::ReadOnly, false);
        probe.SetBaseOffset(baseOffset_);
        CheckIdent(probe);
    }
    // The read-only attribute: no write permission for this user, or none at all (so that
    // it also holds for root, who may write anyway).
    readOnlyAttribute_ = ::access(fileName.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0;
    const auto access = (readOnly_ || readOnlyAttribute_) ? TStoreFileStream::Access::ReadOnly
                                                          : TStoreFileStream::Access::ReadWrite;
    disk_ = std::make_unique<TStoreFileStream>(fileName, access, exclusive_);
    disk_->SetBaseOffset(baseOffset_);
    stream_ = disk_.get();
}

void TStoreFileIO::OpenMemory(const std::string& fileName) {
    TStream* stream = TMemoryMedium::Resolve(fileName);
    CheckIdent(*stream);
    stream_ = stream;
}

void TStoreFileIO::CheckIdent(TStream& stream) {
    uint8_t bytes[kFileIdentSize] = {};
    stream.SetPosition(kFileIdentOffset);
    const bool complete = stream.Read(bytes, kFileIdentSize) == kFileIdentSize;
    const TFileIdent ident = TFileIdent::DecodeFrom(bytes);
    if (!complete || !ident.HasMagic()) {
        throw EDatabaseError("Database file '" + fileName_ + "' is an invalid database");
    }
    CheckFileVersion(ident.Version());
}

void TStoreFileIO::LoadSettings() {
    if (ImageSize() < kFixedPartSize) {
        Damaged("it is shorter than its fixed part");
    }
    uint8_t ext[kExtHeaderSize];
    ReadAt(kExtHeaderOffset, ext, kExtHeaderSize);
    extHeader_ = TExtHeader::DecodeFrom(ext);
    if (extHeader_.Compress) {
        processing_.CompressMgr().SetAlgoName(extHeader_.CompressAlgo);
    }
    if (extHeader_.Encrypt) {
        processing_.EncryptMgr().SetAlgoName(extHeader_.EncryptAlgo);
        if (extHeader_.EncryptMode > emECB) {
            Damaged("its cipher mode " + std::to_string(extHeader_.EncryptMode) + " is unknown");
        }
        processing_.EncryptMgr().SetMode(extHeader_.EncryptMode);
    }
    ReadTableDirectory();
}

void TStoreFileIO::Close() {
    DropGatheredWrites();
    gather_ = false;
    if (lockDepth_ > 0 && disk_) {
        disk_->UnlockRange(kLockPosition, 1);
    }
    lockDepth_ = 0;
    knownSize_ = -1;
    stream_ = nullptr;
    disk_.reset();
}

bool TStoreFileIO::CreateDatabaseFile(const std::string& fileName, TStoreMediumType medium,
                                      bool compress, uint8_t compressLevel,
                                      std::string_view compressAlgo, bool encrypt,
                                      std::string_view encryptAlgo, std::string_view password,
                                      bool writeVerify) {
    try {
        const std::vector<uint8_t> image = BuildFixedPart(
            compress, compressLevel, compressAlgo, encrypt, encryptAlgo, password, writeVerify);
        if (medium == mtMemory) {
            TStream* stream = TMemoryMedium::Resolve(fileName);
            stream->SetSize(0);
            stream->SetPosition(0);
            stream->WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
            return true;
        }
        return CreateDiskFile(fileName, image);
    } catch (const std::exception&) {
        return false;
    }
}

bool TStoreFileIO::CheckPassword(std::string_view password) {
    if (!IsOpen()) {
        return false;
    }
    if (!extHeader_.Encrypt) {
        return true;
    }
    if (PasswordDigest(password) != extHeader_.PasswordDigest) {
        return false;
    }
    processing_.EncryptMgr().InitKey(password);
    return true;
}

void TStoreFileIO::Lock() {
    CheckWritable();
    if (lockDepth_ > 0 || medium_ != mtDisk) {
        ++lockDepth_;
        return;
    }
    int32_t attempts = 0;
    while (!disk_->TryLockRange(kLockPosition, 1)) {
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
            throw EDatabaseError("Cannot lock file " + fileName_);
        }
        ++attempts;
        if (lockRetryCount_ != 0 && attempts > lockRetryCount_) {
            throw EDatabaseError("Wait for unlock time out");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(lockWaitTime_));
    }
    lockDepth_ = 1;
    // Others may have written while the lock was not ours.
    knownSize_ = -1;
}

void TStoreFileIO::Unlock() {
    if (lockDepth_ == 0) {
        return;
    }
    if (--lockDepth_ == 0 && medium_ == mtDisk && disk_) {
        disk_->UnlockRange(kLockPosition, 1);
    }
}

void TStoreFileIO::Flush() {
    DrainWrites();
    if (disk_) {
        disk_->Flush();
    }
}

bool TStoreFileIO::NeedsFlush() const {
    return disk_ && (!gathered_.Empty() || !disk_->Flushed());
}

void TStoreFileIO::SetGatherWrites(bool on) {
    if (!on) {
        DrainWrites();
    }
    gather_ = on && medium_ == mtDisk && disk_ && !extHeader_.WriteVerify;
}

void TStoreFileIO::DrainWrites() {
    if (gathered_.Empty()) {
        return;
    }
    // Taken out first: a failed write leaves nothing gathered that could be written later,
    // behind what the caller then does to recover.
    TWriteGather pieces = std::move(gathered_);
    gathered_.Clear();
    for (const auto& [position, bytes] : pieces.Pieces()) {
        WriteThrough(position, bytes.data(), static_cast<int64_t>(bytes.size()));
    }
}

void TStoreFileIO::DropGatheredWrites() noexcept {
    if (!gathered_.Empty()) {
        gathered_.Clear();
        knownSize_ = -1;
    }
}

void TStoreFileIO::OrderWrites() {
    DrainWrites();
    if (disk_ && syncedAppends_) {
        if (beforeSync_) {
            beforeSync_();
        }
        disk_->SyncData();
    }
}

void TStoreFileIO::ReadTableDirectory() {
    uint8_t bytes[kTableDirectorySize];
    ReadAt(kTableDirectoryOffset, bytes, kTableDirectorySize);
    TTableDirectory dir = TTableDirectory::DecodeFrom(bytes);
    const std::string problem = dir.Problem(ImageSize());
    if (!problem.empty()) {
        Damaged("its table directory is unusable (" + problem + ")");
    }
    directory_ = dir;
}

void TStoreFileIO::WriteTableDirectory() {
    uint8_t bytes[kTableDirectorySize];
    directory_.EncodeTo(bytes);
    WriteAt(kTableDirectoryOffset, bytes, kTableDirectorySize);
}

int64_t TStoreFileIO::HeaderOffset(int32_t index) const {
    if (index < 0 || index >= directory_.Count) {
        throw EDatabaseError("Table number " + std::to_string(index) + " does not exist");
    }
    return directory_.Offsets[index];
}

TTableHeader TStoreFileIO::ReadTableHeader(int32_t index) {
    std::vector<uint8_t> bytes(kTableHeaderSize);
    ReadAt(HeaderOffset(index), bytes.data(), kTableHeaderSize);
    TTableHeader header = TTableHeader::DecodeFrom(bytes.data());
    const std::string problem = header.Problem(ImageSize());
    if (!problem.empty()) {
        Damaged("the header of table " + std::to_string(index) + " ('" + header.Name +
                "') is unusable (" + problem + ")");
    }
    return header;
}

void TStoreFileIO::WriteTableHeader(int32_t index, const TTableHeader& header) {
    std::vector<uint8_t> bytes(kTableHeaderSize);
    header.EncodeTo(bytes.data());
    WriteAt(HeaderOffset(index), bytes.data(), kTableHeaderSize);
}

std::vector<std::string> TStoreFileIO::TableNames() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < directory_.Count; ++i) {
        names.push_back(ReadTableHeader(i).Name);
    }
    return names;
}

int32_t TStoreFileIO::FindTable(std::string_view name) {
    // Stored names are cut to 32 characters; a longer name finds its cut form.
    const std::string_view cut = Utf8Truncate(name, kMaxNameLength);
    for (int32_t i = 0; i < directory_.Count; ++i) {
        if (SameName(ReadTableHeader(i).Name, cut)) {
            return i;
        }
    }
    return -1;
}

bool TStoreFileIO::CreateTable(const std::string& name, const std::vector<TFieldDesc>& fields) {
    if (!IsValidName(name)) {
        throw EDatabaseError("Invalid table name '" + name + "'");
    }
    CheckWritable();
    ValidateFieldDescs(fields);
    TWriteLock lock(*this);
    ReadTableDirectory();
    if (directory_.Count >= kMaxTables) {
        throw EDatabaseError("Too many tables");
    }
    if (FindTable(name) >= 0) {
        throw EDatabaseError("Duplicate table name '" + name + "'");
    }
    const int64_t end = ImageSize();
    if (end + kTableHeaderSize > kMaxImageSize) {
        SizeLimitReached();
    }
    const TTableHeader header =
        BuildTableHeader(name, fields, static_cast<int32_t>(end + kTableHeaderSize));
    std::vector<uint8_t> bytes(kTableHeaderSize);
    header.EncodeTo(bytes.data());
    // The header is complete before the directory lists it, so a crash between the two
    // leaves an unlisted header, never a listed table without one.
    WriteAt(end, bytes.data(), kTableHeaderSize);
    OrderWrites();
    directory_.Append(static_cast<int32_t>(end));
    WriteTableDirectory();
    return true;
}

bool TStoreFileIO::DropTable(const std::string& name) {
    if (!IsValidName(name)) {
        throw EDatabaseError("Invalid table name '" + name + "'");
    }
    CheckWritable();
    TWriteLock lock(*this);
    ReadTableDirectory();
    const int32_t index = FindTable(name);
    if (index < 0) {
        throw EDatabaseError("Table '" + name + "' not found");
    }
    directory_.Remove(index);
    WriteTableDirectory();
    return true;
}

int64_t TStoreFileIO::ImageSize() {
    if (!IsOpen()) {
        throw EDatabaseError("Cannot perform this operation on a closed database");
    }
    // Every writer holds the lock, so while it is ours only our writes change the size.
    if (lockDepth_ > 0 && medium_ == mtDisk && knownSize_ >= 0) {
        return knownSize_;
    }
    knownSize_ = std::max(stream_->Size(), gathered_.End());
    return knownSize_;
}

bool TStoreFileIO::InsideImage(int64_t position, int64_t count) {
    auto inside = [&](int64_t size) {
        return position >= 0 && count >= 0 && position <= size && count <= size - position;
    };
    if (knownSize_ >= 0 && medium_ == mtDisk && inside(knownSize_)) {
        return true;
    }
    return inside(std::max(ImageSize(), gathered_.End()));
}

void TStoreFileIO::ReadAt(int64_t position, void* buffer, int64_t count) {
    const auto beyond = [&] {
        Damaged(std::to_string(count) + " bytes at offset " + std::to_string(position) +
                " lie beyond its end");
    };
    if (!InsideImage(position, count)) {
        beyond();
    }
    if (!gathered_.Empty()) {
        auto* bytes = static_cast<uint8_t*>(buffer);
        if (gathered_.Covers(position, count)) {
            gathered_.Overlay(position, bytes, count);
            return;
        }
        // What was gathered past the file's end reads as the file will once it is written.
        stream_->SetPosition(position);
        const int64_t read = count > 0 ? stream_->Read(buffer, count) : 0;
        if (read < count && position + count > gathered_.End()) {
            knownSize_ = -1;
            if (!InsideImage(position, count)) {
                beyond();
            }
            throw EReadError();
        }
        std::memset(bytes + read, 0, static_cast<size_t>(count - read));
        gathered_.Overlay(position, bytes, count);
        return;
    }
    stream_->SetPosition(position);
    if (count > 0 && stream_->Read(buffer, count) != count) {
        // Cut short under us: the size seen before no longer holds.
        knownSize_ = -1;
        if (!InsideImage(position, count)) {
            beyond();
        }
        throw EReadError();
    }
}

void TStoreFileIO::WriteAt(int64_t position, const void* buffer, int64_t count) {
    CheckWritable();
    if (position < 0 || count < 0 || position + count > kMaxImageSize) {
        SizeLimitReached();
    }
    if (gather_) {
        // Under the lock the size is followed from here on; it must be known first.
        ImageSize();
        gathered_.Add(position, static_cast<const uint8_t*>(buffer), count);
        knownSize_ = std::max(knownSize_, position + count);
        if (gathered_.Bytes() > kMostGatheredBytes) {
            DrainWrites();
        }
        return;
    }
    WriteThrough(position, buffer, count);
}

void TStoreFileIO::WriteThrough(int64_t position, const void* buffer, int64_t count) {
    if (beforeWrite_) {
        beforeWrite_(position, count);
    }
    stream_->SetPosition(position);
    try {
        stream_->WriteBuffer(buffer, count);
    } catch (...) {
        knownSize_ = -1;
        throw;
    }
    if (knownSize_ >= 0) {
        knownSize_ = std::max(knownSize_, position + count);
    }
}

void TStoreFileIO::CheckWritable() const {
    if (!IsOpen()) {
        throw EDatabaseError("Cannot perform this operation on a closed database");
    }
    if (!CanWrite()) {
        throw EDatabaseError("Cannot modify a read-only database");
    }
}

void TStoreFileIO::Damaged(const std::string& what) const {
    throw EDatabaseError("Database file '" + fileName_ + "' is damaged: " + what);
}

void TStoreFileIO::SizeLimitReached() const {
    throw EDatabaseError("Database file '" + fileName_ + "' has reached its size limit");
}

void TStoreFileIO::EncodeStream(TMemoryStream& source, TMemoryStream& dest, bool compress,
                                bool encrypt) {
    processing_.EncodeStream(source, dest, compress, encrypt);
}

void TStoreFileIO::DecodeStream(TMemoryStream& source, TMemoryStream& dest, bool compress,
                                bool encrypt) {
    processing_.DecodeStream(source, dest, compress, encrypt);
}

void TStoreFileIO::EncodeFieldBuffer(const void* source, void* dest, bool encrypt, int32_t size) {
    processing_.EncodeFieldBuffer(source, dest, encrypt, size);
}

void TStoreFileIO::DecodeFieldBuffer(const void* source, void* dest, bool encrypt, int32_t size) {
    processing_.DecodeFieldBuffer(source, dest, encrypt, size);
}

}  // namespace quorv::store
