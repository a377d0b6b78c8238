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
    // Neither is ever part of a two-byte character, so alone they are no text.
    if (bytes.contains('\x80') || bytes.contains('\xFF')) {
        return std::nullopt;
    }
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

bool IsUtf16WithBom(const QByteArray& bytes) {
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

std::optional<QString> DecodeUtf8OrCp949(const QByteArray& bytes) {
    if (IsUtf16WithBom(bytes)) {
        QStringDecoder utf16(
            bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
            QStringDecoder::Flag::Stateless);
        QString text = utf16.decode(QByteArrayView(bytes).sliced(2));
        if (utf16.hasError() || bytes.size() % 2 != 0) {
            return std::nullopt;
        }
        return text;
    }
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
