#include "system/LegacyText.h"

#include <QStringDecoder>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace quorv::platform {

namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

}  // namespace

std::optional<QString> DecodeCp949(const QByteArray& bytes) {
    UErrorCode status = U_ZERO_ERROR;
    // Windows' own table (Unified Hangul Code), not IBM's variant of the same number.
    std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open("windows-949-2000", &status));
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    // Every CP949 character is one or two bytes and maps to one UTF-16 unit.
    QString text(bytes.size(), Qt::Uninitialized);
    const char* source = bytes.constData();
    const char* sourceEnd = source + bytes.size();
    auto* target = reinterpret_cast<UChar*>(text.data());
    UChar* targetStart = target;
    ucnv_toUnicode(converter.get(), &target, targetStart + text.size(), &source, sourceEnd, nullptr,
                   true, &status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    text.truncate(target - targetStart);
    return text;
}

std::optional<QString> DecodeUtf8OrCp949(const QByteArray& bytes) {
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        view = view.sliced(3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) {
        return text;
    }
    return DecodeCp949(bytes);
}

}  // namespace quorv::platform
