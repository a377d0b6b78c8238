#include "system/Wql.h"

namespace quorv::inventory {
namespace {

struct Token {
    enum Kind { Word, String, Number, Symbol, End } kind = End;
    QString text;
};

class Lexer {
  public:
    explicit Lexer(const QString& text) : text_(text) {}

    std::optional<QList<Token>> Run() {
        QList<Token> out;
        while (true) {
            while (pos_ < text_.size() && text_[pos_].isSpace()) {
                ++pos_;
            }
            if (pos_ >= text_.size()) {
                out.append(Token{Token::End, {}});
                return out;
            }
            QChar c = text_[pos_];
            if (c.isLetter() || c == QLatin1Char('_')) {
                int start = pos_;
                while (pos_ < text_.size() &&
                       (text_[pos_].isLetterOrNumber() || text_[pos_] == QLatin1Char('_'))) {
                    ++pos_;
                }
                out.append(Token{Token::Word, text_.mid(start, pos_ - start)});
            } else if (c.isDigit() || (c == QLatin1Char('-') && pos_ + 1 < text_.size() &&
                                       text_[pos_ + 1].isDigit())) {
                int start = pos_++;
                while (pos_ < text_.size() &&
                       (text_[pos_].isDigit() || text_[pos_] == QLatin1Char('.'))) {
                    ++pos_;
                }
                out.append(Token{Token::Number, text_.mid(start, pos_ - start)});
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                QString value;
                ++pos_;
                bool closed = false;
                while (pos_ < text_.size()) {
                    QChar d = text_[pos_++];
                    if (d == c) {
                        closed = true;
                        break;
                    }
                    if (d == QLatin1Char('\\') && pos_ < text_.size()) {
                        d = text_[pos_++];
                    }
                    value += d;
                }
                if (!closed) {
                    return std::nullopt;
                }
                out.append(Token{Token::String, value});
            } else {
                static const QStringList symbols{
                    QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("<="),
                    QStringLiteral(">="), QStringLiteral("="),  QStringLiteral("<"),
                    QStringLiteral(">"),  QStringLiteral(","),  QStringLiteral("*")};
                bool found = false;
                for (const QString& s : symbols) {
                    if (QStringView(text_).mid(pos_).startsWith(s)) {
                        out.append(Token{Token::Symbol, s});
                        pos_ += s.size();
                        found = true;
                        break;
                    }
                }
                if (!found) {
                    return std::nullopt;
                }
            }
        }
    }

  private:
    QString text_;
    int pos_ = 0;
};

bool IsWord(const Token& t, const char* word) {
    return t.kind == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool IsSymbol(const Token& t, const char* symbol) {
    return t.kind == Token::Symbol && t.text == QLatin1String(symbol);
}

const CimValue* Find(const WmiObject& object, const QString& name) {
    for (const auto& property : object) {
        if (property.first.compare(name, Qt::CaseInsensitive) == 0) {
            return &property.second;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<WqlQuery> ParseWql(const QString& text) {
    auto tokens = Lexer(text).Run();
    if (!tokens) {
        return std::nullopt;
    }
    const QList<Token>& t = *tokens;
    int i = 0;
    WqlQuery query;
    if (!IsWord(t[i++], "SELECT")) {
        return std::nullopt;
    }
    if (IsSymbol(t[i], "*")) {
        query.allProperties = true;
        ++i;
    } else {
        while (true) {
            if (t[i].kind != Token::Word) {
                return std::nullopt;
            }
            query.properties << t[i++].text;
            if (!IsSymbol(t[i], ",")) {
                break;
            }
            ++i;
        }
    }
    if (!IsWord(t[i++], "FROM") || t[i].kind != Token::Word) {
        return std::nullopt;
    }
    query.className = t[i++].text;
    if (IsWord(t[i], "WHERE")) {
        ++i;
        while (true) {
            WqlCondition cond;
            if (t[i].kind != Token::Word) {
                return std::nullopt;
            }
            cond.property = t[i++].text;
            if (IsWord(t[i], "IS")) {
                ++i;
                bool negated = IsWord(t[i], "NOT");
                if (negated) {
                    ++i;
                }
                if (!IsWord(t[i++], "NULL")) {
                    return std::nullopt;
                }
                cond.op = negated ? QStringLiteral("IS NOT NULL") : QStringLiteral("IS NULL");
            } else {
                if (t[i].kind != Token::Symbol || IsSymbol(t[i], ",") || IsSymbol(t[i], "*")) {
                    return std::nullopt;
                }
                cond.op = t[i].text == QLatin1String("!=") ? QStringLiteral("<>") : t[i].text;
                ++i;
                const Token& value = t[i++];
                if (IsWord(value, "NULL")) {
                    // WQL treats "= NULL" and "<> NULL" as the IS forms.
                    if (cond.op == QLatin1String("=")) {
                        cond.op = QStringLiteral("IS NULL");
                    } else if (cond.op == QLatin1String("<>")) {
                        cond.op = QStringLiteral("IS NOT NULL");
                    } else {
                        return std::nullopt;
                    }
                } else if (IsWord(value, "TRUE") || IsWord(value, "FALSE")) {
                    cond.literal = IsWord(value, "TRUE");
                } else if (value.kind == Token::Number) {
                    bool ok = false;
                    double number = value.text.toDouble(&ok);
                    if (!ok) {
                        return std::nullopt;
                    }
                    cond.literal = number;
                } else if (value.kind == Token::String) {
                    cond.literal = value.text;
                } else {
                    return std::nullopt;
                }
            }
            query.conditions << cond;
            if (!IsWord(t[i], "AND")) {
                break;
            }
            ++i;
        }
    }
    if (t[i].kind != Token::End) {
        return std::nullopt;
    }
    return query;
}

std::optional<bool> Matches(const WqlCondition& cond, const WmiObject& object) {
    const CimValue* value = Find(object, cond.property);
    if (!value) {
        return std::nullopt;
    }
    if (cond.op == QLatin1String("IS NULL")) {
        return value->isNull;
    }
    if (cond.op == QLatin1String("IS NOT NULL")) {
        return !value->isNull;
    }
    if (value->isNull || value->isArray || value->items.isEmpty()) {
        return false;
    }
    const QVariant& item = value->items.front();
    int order = 0;
    if (cond.literal.typeId() == QMetaType::Bool) {
        if (value->type != CimType::Boolean) {
            return false;
        }
        order = int(item.toBool()) - int(cond.literal.toBool());
    } else if (cond.literal.typeId() == QMetaType::Double && IsNumericCimType(value->type)) {
        double a = item.toDouble();
        double b = cond.literal.toDouble();
        order = a < b ? -1 : (a > b ? 1 : 0);
    } else {
        order = item.toString().compare(cond.literal.toString(), Qt::CaseInsensitive);
    }
    if (cond.op == QLatin1String("=")) {
        return order == 0;
    }
    if (cond.op == QLatin1String("<>")) {
        return order != 0;
    }
    if (cond.op == QLatin1String("<")) {
        return order < 0;
    }
    if (cond.op == QLatin1String(">")) {
        return order > 0;
    }
    if (cond.op == QLatin1String("<=")) {
        return order <= 0;
    }
    return order >= 0;
}

}  // namespace quorv::inventory
