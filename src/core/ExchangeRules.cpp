#include "core/ExchangeRules.h"

#include <limits>

namespace quorv::settings {

QString WithExchangeExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && fileName.mid(dot).toLower() == QLatin1String(kExchangeExtension)) {
        return fileName;
    }
    return fileName + QLatin1String(kExchangeExtension);
}

int ParseIconValue(const QString& text) {
    constexpr int kDefault = 11;
    QStringView digits(text);
    bool negative = false;
    if (!digits.isEmpty() && (digits.front() == u'-' || digits.front() == u'+')) {
        negative = digits.front() == u'-';
        digits = digits.sliced(1);
    }
    int base = 10;
    if (digits.startsWith(u'$')) {
        base = 16;
        digits = digits.sliced(1);
    } else if (digits.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        digits = digits.sliced(2);
    }
    // toLongLong would take its own prefixes and blanks; only bare digits are ours.
    for (QChar c : digits) {
        if (!(c.isDigit() && c.unicode() < 0x80) &&
            !(base == 16 && QStringLiteral("abcdefABCDEF").contains(c))) {
            return kDefault;
        }
    }
    bool ok = false;
    const qlonglong value = digits.toLongLong(&ok, base);
    if (!ok || digits.isEmpty()) {
        return kDefault;
    }
    const qlonglong signedValue = negative ? -value : value;
    if (signedValue < std::numeric_limits<int>::min() ||
        signedValue > std::numeric_limits<int>::max()) {
        return kDefault;
    }
    return static_cast<int>(signedValue);
}

namespace {

// Each line break (CR LF, LF or CR) replaced by `with`.
std::string ReplaceBreaks(std::string_view text, std::string_view with) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out += with;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string ScriptToExchange(std::string_view script) {
    if (script.ends_with("\r\n")) {
        script.remove_suffix(2);
    } else if (script.ends_with('\n') || script.ends_with('\r')) {
        script.remove_suffix(1);
    }
    return ReplaceBreaks(script, ",");
}

std::string ScriptFromExchange(std::string_view value) {
    if (value.empty()) {
        return {};
    }
    std::string script;
    script.reserve(value.size() + 16);
    for (char c : value) {
        if (c == ',') {
            script += "\r\n";
        } else {
            script += c;
        }
    }
    script += "\r\n";
    return script;
}

std::string OneLine(std::string_view text) {
    return ReplaceBreaks(text, ",");
}

}  // namespace quorv::settings
